#pragma once
// ListView1: the list of files with their run flags.  It reports key
// presses (before its own handling of them), double clicks anywhere on it
// and files dropped onto it; the window applies the rules.

#include <QStringList>
#include <QTreeWidget>

namespace cassonic {

class FileListView : public QTreeWidget {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent = nullptr);

signals:
    // Emitted before the list moves its selection for the key.
    void keyPressed(int key, Qt::KeyboardModifiers modifiers);
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
