#pragma once
// ListView1: the list of files with their run flags.  It reports key
// presses (before its own handling of them, which the window may take
// over), double clicks anywhere on it and files dropped onto it; the window
// applies the rules.

#include <QStringList>
#include <QTreeWidget>

#include <functional>

namespace cassonic {

class FileListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent = nullptr);

    // Called for every key before the list handles it; returning true keeps
    // the list from handling it.
    std::function<bool(int key, Qt::KeyboardModifiers modifiers)> keyHandler;

signals:
    void doubleClicked();
    void filesDropped(const QStringList& paths);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// The local files a drop carries, in the order of its list.
QStringList DroppedFiles(const class QMimeData* data);

}  // namespace cassonic
