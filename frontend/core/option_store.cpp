#include "core/option_store.h"

#include <QSettings>

namespace cassonic {

namespace {

const QString kCdMode = QStringLiteral("options/cdMode");
const QString kBaudRate = QStringLiteral("options/baudRate");
const QString kCompression = QStringLiteral("options/compression");
const QString kLoader = QStringLiteral("options/loader");
const QString kPatch = QStringLiteral("options/patch");
const QString kPause = QStringLiteral("options/pause");
const QString kDos = QStringLiteral("options/dos");
const QString kVram = QStringLiteral("options/vram");
const QString kRam = QStringLiteral("options/ram");

void readBool(const QSettings& settings, const QString& key, bool& value)
{
    const QVariant v = settings.value(key);
    const QString text = v.toString();
    if (text == u"true" || text == u"false")
        value = text == u"true";
}

void readInt(const QSettings& settings, const QString& key, int& value)
{
    bool ok = false;
    const int v = settings.value(key).toString().toInt(&ok);
    if (ok)
        value = v;
}

}  // namespace

void SaveOptions(const FormState& s, QSettings& settings)
{
    settings.setValue(kCdMode, s.cdMode);
    // In CD mode the field shows a fixed rate; the user's own is kept.
    if (!s.cdMode && IsLegalBaudRate(s.baudRate))
        settings.setValue(kBaudRate, s.baudRate);
    settings.setValue(kCompression, s.compressionWanted);
    settings.setValue(kLoader, s.loaderWanted);
    settings.setValue(kPatch, s.patch);
    settings.setValue(kPause, PauseForRun(s.pause));
    settings.setValue(kDos, s.dos);
    settings.setValue(kVram, s.vram);
    settings.setValue(kRam, s.ram);
}

FormState LoadOptions(const QSettings& settings)
{
    FormState s;
    readBool(settings, kCdMode, s.cdMode);
    if (settings.contains(kBaudRate))
        s.baudRate = settings.value(kBaudRate).toString();
    readInt(settings, kCompression, s.compressionWanted);
    readInt(settings, kLoader, s.loaderWanted);
    readBool(settings, kPatch, s.patch);
    if (settings.contains(kPause))
        s.pause = settings.value(kPause).toString();
    readInt(settings, kDos, s.dos);
    readInt(settings, kVram, s.vram);
    readInt(settings, kRam, s.ram);
    ApplyAllRules(s);
    s.status.clear();
    s.statusIsError = false;
    return s;
}

}  // namespace cassonic
