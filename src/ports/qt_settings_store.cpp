#include "ports/qt_settings_store.h"

namespace tunalyx {

namespace {
const QString kSection = QStringLiteral("Settings");
}

QtSettingsStore::QtSettingsStore()
    : m_settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Tunalyx"),
                 QStringLiteral("Tunalyx SR20DET")) {}

QtSettingsStore::QtSettingsStore(const QString& iniPath)
    : m_settings(iniPath, QSettings::IniFormat) {}

std::optional<std::string> QtSettingsStore::value(const std::string& key) const {
    const QString k = kSection + QLatin1Char('/') + QString::fromStdString(key);
    if (!m_settings.contains(k)) return std::nullopt;
    const QVariant v = m_settings.value(k);
    // A hand-edited settings file leaves a list such as "0,0,0,0,1" unquoted, which reads as a
    // list of texts: the list keys want it back as the one text it was.
    if (v.userType() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(',')).toStdString();
    return v.toString().toStdString();
}

void QtSettingsStore::setValue(const std::string& key, const std::string& value) {
    m_settings.setValue(kSection + QLatin1Char('/') + QString::fromStdString(key),
                        QString::fromStdString(value));
}

}  // namespace tunalyx
