#include "settings/SettingsStore.h"

#include "messages/MessageSink.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QVariant>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

namespace korvanta {

namespace {

constexpr const char* kErrorCaption = "Error";
constexpr int kShownValueLength = 40;

// ---- one value: conversion and checks -------------------------------------

// Short printable form of a stored value for messages.
QString shownValue(const QVariant& value) {
    QString text = value.toString();
    if (text.size() > kShownValueLength)
        text = text.left(kShownValueLength) + QStringLiteral("...");
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool isText(const QVariant& value) {
    return value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
}

std::optional<long long> toInteger(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Char:
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULongLong: {
        const unsigned long long u = value.toULongLong();
        if (u > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
            return std::nullopt;
        return static_cast<long long>(u);
    }
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        bool ok = false;
        const long long n = value.toString().trimmed().toLongLong(&ok, 10);
        if (!ok) return std::nullopt;
        return n;
    }
    default:
        return std::nullopt;
    }
}

std::optional<double> toReal(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return value.toDouble();
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        bool ok = false;
        const double d = value.toString().trimmed().toDouble(&ok);
        if (!ok) return std::nullopt;
        return d;
    }
    default:
        if (const std::optional<long long> n = toInteger(value)) return static_cast<double>(*n);
        return std::nullopt;
    }
}

std::optional<bool> toBoolean(const QVariant& value) {
    if (isText(value)) {
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    }
    if (const std::optional<long long> n = toInteger(value)) return *n != 0;
    return std::nullopt;
}

// The double stored for a single-precision setting: the shortest decimal of
// the float, so the store shows 0.7 rather than 0.699999988079071, and which
// reads back as exactly the same float.
double storedReal(float value) {
    std::array<char, 32> buffer{};
    const auto written = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    double shortest = 0.0;
    const auto parsed = std::from_chars(buffer.data(), written.ptr, shortest);
    if (written.ec != std::errc{} || parsed.ec != std::errc{} ||
        static_cast<float>(shortest) != value)
        return static_cast<double>(value);
    return shortest;
}

// ---- the harmony settings values, in stored order --------------------------

enum class ValueKind { Integer, Real, Boolean };

struct HarmonyValue {
    const char* name;
    ValueKind kind;
    long long min; // integers only
    long long max;
    double (*get)(const HarmonySettings&);
    void (*set)(HarmonySettings&, double);
};

template <auto Member>
double getField(const HarmonySettings& settings) {
    return static_cast<double>(settings.*Member);
}

template <auto Member>
void setField(HarmonySettings& settings, double value) {
    using Field = std::remove_cvref_t<decltype(settings.*Member)>;
    settings.*Member = static_cast<Field>(value);
}

template <auto Member>
constexpr HarmonyValue harmonyValue(const char* name, ValueKind kind, long long min = 0,
                                    long long max = 0) {
    return {name, kind, min, max, &getField<Member>, &setField<Member>};
}

using I16 = std::numeric_limits<std::int16_t>;
using I32 = std::numeric_limits<std::int32_t>;

// In the order they are read and written.
constexpr std::array<HarmonyValue, 13> kHarmonyValues{{
    harmonyValue<&HarmonySettings::TSYmode>("TSYmode", ValueKind::Integer, kTSYmodeStandard,
                                            kTSYmodeAdvanced),
    harmonyValue<&HarmonySettings::ApplyPKey>("ApplyPKey", ValueKind::Boolean),
    harmonyValue<&HarmonySettings::MinTaktBT>("MinTaktBT", ValueKind::Integer, I16::min(),
                                              I16::max()),
    harmonyValue<&HarmonySettings::ModeStT>("ModeStT", ValueKind::Integer, I32::min(), I32::max()),
    harmonyValue<&HarmonySettings::MinWT>("MinWT", ValueKind::Real),
    harmonyValue<&HarmonySettings::CSFilter>("CSFilter", ValueKind::Boolean),
    harmonyValue<&HarmonySettings::DSFilter>("DSFilter", ValueKind::Boolean),
    harmonyValue<&HarmonySettings::kDSFilter>("kDSFilter", ValueKind::Real),
    harmonyValue<&HarmonySettings::kRecomChr>("kRecomChr", ValueKind::Real),
    harmonyValue<&HarmonySettings::MaxNumCustomChords>("MaxNumCustomChords", ValueKind::Integer, 0,
                                                       kMaxNumCustomChordsLimit),
    harmonyValue<&HarmonySettings::AutoKey>("AutoKey", ValueKind::Boolean),
    harmonyValue<&HarmonySettings::DefAccPatch>("DefAccPatch", ValueKind::Integer, 0,
                                                kDefAccPatchLimit),
    harmonyValue<&HarmonySettings::AutoSaveOpt>("AutoSaveOpt", ValueKind::Boolean),
}};

QVariant storedForm(const HarmonyValue& entry, const HarmonySettings& settings) {
    const double value = entry.get(settings);
    switch (entry.kind) {
    case ValueKind::Integer:
        return QVariant(static_cast<int>(value));
    case ValueKind::Boolean:
        return QVariant(value != 0.0 ? 1 : 0);
    case ValueKind::Real:
        return QVariant(storedReal(static_cast<float>(value)));
    }
    return {};
}

// ---- reading one group ------------------------------------------------------

// Reads values of one group and keeps the first problem as a message text.
// Each read returns nothing once it found a problem; callers stop there.
class GroupReader {
public:
    GroupReader(QSettings& settings, const char* group) : m_settings(settings), m_group(group) {
        m_settings.beginGroup(m_group);
    }
    ~GroupReader() { m_settings.endGroup(); }
    GroupReader(const GroupReader&) = delete;
    GroupReader& operator=(const GroupReader&) = delete;

    bool contains(const QString& name) const { return m_settings.contains(name); }

    std::optional<long long> integer(const QString& name, long long min, long long max) {
        const std::optional<QVariant> value = raw(name);
        if (!value) return std::nullopt;
        const std::optional<long long> n = toInteger(*value);
        if (!n) return fail(name, shownValue(*value) + QStringLiteral(" is not a whole number"));
        if (*n < min || *n > max)
            return fail(name, QStringLiteral("%1 is outside %2 to %3").arg(*n).arg(min).arg(max));
        return n;
    }

    // A single-precision real: finite and within the range of a float.
    std::optional<double> real(const QString& name) {
        const std::optional<QVariant> value = raw(name);
        if (!value) return std::nullopt;
        const std::optional<double> d = toReal(*value);
        if (!d) return fail(name, shownValue(*value) + QStringLiteral(" is not a number"));
        if (!std::isfinite(*d) || std::fabs(*d) > std::numeric_limits<float>::max())
            return fail(name, shownValue(*value) + QStringLiteral(" is not a usable number"));
        return d;
    }

    std::optional<bool> boolean(const QString& name) {
        const std::optional<QVariant> value = raw(name);
        if (!value) return std::nullopt;
        const std::optional<bool> b = toBoolean(*value);
        if (!b) return fail(name, shownValue(*value) + QStringLiteral(" is not 0 or 1"));
        return b;
    }

    std::optional<QString> text(const QString& name) {
        const std::optional<QVariant> value = raw(name);
        if (!value) return std::nullopt;
        if (!isText(*value)) return fail(name, QStringLiteral("the value is not a text"));
        return value->toString();
    }

    // A text that may be absent; absent reads as empty.
    std::optional<QString> optionalText(const QString& name) {
        if (!m_settings.contains(name)) return QString();
        return text(name);
    }

    std::optional<double> harmonyValue(const HarmonyValue& entry) {
        const QString name = QString::fromLatin1(entry.name);
        switch (entry.kind) {
        case ValueKind::Integer:
            if (const auto n = integer(name, entry.min, entry.max)) return static_cast<double>(*n);
            return std::nullopt;
        case ValueKind::Boolean:
            if (const auto b = boolean(name)) return *b ? 1.0 : 0.0;
            return std::nullopt;
        case ValueKind::Real:
            return real(name);
        }
        return std::nullopt;
    }

    // Reports a problem found by the caller.
    std::nullopt_t fail(const QString& name, const QString& problem) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("Can't read the setting \"%1\" in \"%2\" from %3:\n%4.")
                          .arg(name, QString::fromLatin1(m_group),
                               QDir::toNativeSeparators(m_settings.fileName()), problem);
        return std::nullopt;
    }

    const QString& error() const { return m_error; }

private:
    std::optional<QVariant> raw(const QString& name) {
        if (!m_settings.contains(name)) return fail(name, QStringLiteral("the value is missing"));
        return m_settings.value(name);
    }

    QSettings& m_settings;
    const char* m_group;
    QString m_error;
};

bool hasGroup(QSettings& settings, const char* group) {
    return settings.childGroups().contains(QString::fromLatin1(group));
}

bool endsWithSeparator(const QString& path) {
    return path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'));
}

QString withSeparator(const QString& path) {
    if (path.isEmpty() || endsWithSeparator(path)) return path;
    return path + QLatin1Char('/');
}

// A stored folder below the install folder; an absolute one stands alone.
QString composeFolder(const QString& installFolder, const QString& stored) {
    if (!stored.isEmpty() && QDir::isAbsolutePath(stored)) return withSeparator(stored);
    return withSeparator(installFolder + stored);
}

} // namespace

// ---- SettingsLocation -------------------------------------------------------

SettingsLocation SettingsLocation::platformDefault() {
    return SettingsLocation();
}

SettingsLocation SettingsLocation::iniFile(const QString& path) {
    SettingsLocation location;
    location.m_iniPath = path;
    return location;
}

std::unique_ptr<QSettings> SettingsLocation::open() const {
    if (m_iniPath.isEmpty())
        return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                           QString::fromLatin1(kOrganisation),
                                           QString::fromLatin1(kApplication));
    return std::make_unique<QSettings>(m_iniPath, QSettings::IniFormat);
}

QString SettingsLocation::describe() const {
    if (!m_iniPath.isEmpty()) return QDir::toNativeSeparators(m_iniPath);
    return QDir::toNativeSeparators(open()->fileName());
}

// ---- SettingsStore ----------------------------------------------------------

SettingsStore::SettingsStore(SettingsLocation location, MessageSink& messages)
    : SettingsStore(std::move(location), messages, &findPlatformBrowser) {}

SettingsStore::SettingsStore(SettingsLocation location, MessageSink& messages,
                             BrowserLookup browserLookup)
    : m_location(std::move(location)), m_messages(messages),
      m_browserLookup(std::move(browserLookup)) {}

bool SettingsStore::reportError(const QString& text) {
    m_messages.error(text.toStdString(), kErrorCaption);
    return false;
}

std::unique_ptr<QSettings> SettingsStore::openChecked() {
    std::unique_ptr<QSettings> settings = m_location.open();
    if (settings->status() == QSettings::NoError) return settings;
    reportError(QStringLiteral("Can't read the settings from %1.").arg(m_location.describe()));
    return nullptr;
}

bool SettingsStore::finishWrite(QSettings& settings) {
    settings.sync();
    if (settings.status() == QSettings::NoError) return true;
    return reportError(QStringLiteral("Can't save the settings to %1.")
                           .arg(QDir::toNativeSeparators(settings.fileName())));
}

bool SettingsStore::baseExists() const {
    const std::unique_ptr<QSettings> settings = m_location.open();
    if (settings->status() != QSettings::NoError) return false;
    return !settings->childGroups().isEmpty() || !settings->childKeys().isEmpty();
}

bool SettingsStore::readPaths(ProgramFolders& folders) {
    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    if (!hasGroup(*settings, kSettingsGroup)) return false;

    GroupReader reader(*settings, kSettingsGroup);
    const std::optional<QString> install = reader.text(QStringLiteral("InstallPath"));
    if (!install) return reportError(reader.error());
    if (install->trimmed().isEmpty()) {
        reader.fail(QStringLiteral("InstallPath"), QStringLiteral("the folder is empty"));
        return reportError(reader.error());
    }
    const QString installFolder = withSeparator(*install);

    ProgramFolders next;
    next.installPath = installFolder;
    std::array<std::pair<const char*, QString*>, 3> relative{{
        {"WorkPath", &next.workPath},
        {"ImagesPath", &next.imagesPath},
        {"DataPath", &next.dataPath},
    }};
    for (auto& [name, target] : relative) {
        const std::optional<QString> stored = reader.text(QString::fromLatin1(name));
        if (!stored) return reportError(reader.error());
        *target = composeFolder(installFolder, *stored);
    }
    folders = next;
    return true;
}

bool SettingsStore::readSettings(HarmonySettings& target) {
    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    if (!hasGroup(*settings, kSettingsGroup)) return false;

    GroupReader reader(*settings, kSettingsGroup);
    HarmonySettings next = target;
    for (const HarmonyValue& entry : kHarmonyValues) {
        const std::optional<double> value = reader.harmonyValue(entry);
        if (!value) return reportError(reader.error());
        entry.set(next, *value);
    }
    target = next;
    return true;
}

bool SettingsStore::writeSettings(const HarmonySettings& source) {
    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    settings->beginGroup(QString::fromLatin1(kSettingsGroup));
    for (const HarmonyValue& entry : kHarmonyValues)
        settings->setValue(QString::fromLatin1(entry.name), storedForm(entry, source));
    settings->endGroup();
    return finishWrite(*settings);
}

bool SettingsStore::readOutput(OutputChoice& choice) {
    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    if (!hasGroup(*settings, kSettingsGroup)) return false;

    GroupReader reader(*settings, kSettingsGroup);
    const std::optional<QString> port = reader.optionalText(QStringLiteral("MidiPort"));
    if (!port) return reportError(reader.error());
    const std::optional<QString> soundFont = reader.optionalText(QStringLiteral("SoundFont"));
    if (!soundFont) return reportError(reader.error());
    choice = OutputChoice{*port, *soundFont};
    return true;
}

bool SettingsStore::writeOutput(const OutputChoice& choice) {
    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    settings->beginGroup(QString::fromLatin1(kSettingsGroup));
    settings->setValue(QStringLiteral("MidiPort"), choice.port);
    settings->setValue(QStringLiteral("SoundFont"), choice.soundFont);
    settings->endGroup();
    return finishWrite(*settings);
}

bool SettingsStore::readRecentFiles(QStringList& files, int& maxCount) {
    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    if (!hasGroup(*settings, kRecentFilesGroup)) return false;

    GroupReader reader(*settings, kRecentFilesGroup);
    const std::optional<long long> max =
        reader.integer(QStringLiteral("MaxNumberFiles"), 0, std::numeric_limits<int>::max());
    if (!max) return reportError(reader.error());

    QStringList next;
    for (long long index = 0;; ++index) {
        const QString name = QStringLiteral("File%1").arg(index);
        if (!reader.contains(name)) break;
        const std::optional<QString> file = reader.text(name);
        if (!file) return reportError(reader.error());
        if (file->isEmpty()) break;
        next.append(*file);
        if (index + 1 >= *max) break;
    }
    files = next;
    maxCount = static_cast<int>(*max);
    return true;
}

bool SettingsStore::writeRecentFiles(const QStringList& files, int maxCount) {
    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    settings->beginGroup(QString::fromLatin1(kRecentFilesGroup));
    if (maxCount > 0) settings->setValue(QStringLiteral("MaxNumberFiles"), maxCount);

    QSet<QString> written;
    for (const QString& file : files) {
        if (file.isEmpty()) continue;
        const QString name = QStringLiteral("File%1").arg(written.size());
        settings->setValue(name, file);
        written.insert(name);
    }
    static const QRegularExpression kFileValue(QStringLiteral("^File[0-9]+$"));
    for (const QString& key : settings->childKeys())
        if (kFileValue.match(key).hasMatch() && !written.contains(key)) settings->remove(key);
    settings->endGroup();
    return finishWrite(*settings);
}

bool SettingsStore::readPlacement(WindowPlacement& placement) {
    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    if (!hasGroup(*settings, kDeskTopGroup)) return false;

    GroupReader reader(*settings, kDeskTopGroup);
    WindowPlacement next;
    std::array<std::pair<const char*, int*>, 4> numbers{{
        {"Height", &next.height},
        {"Width", &next.width},
        {"Left", &next.left},
        {"Top", &next.top},
    }};
    for (auto& [name, target] : numbers) {
        const std::optional<long long> n =
            reader.integer(QString::fromLatin1(name), std::numeric_limits<int>::min(),
                           std::numeric_limits<int>::max());
        if (!n) return reportError(reader.error());
        *target = static_cast<int>(*n);
    }
    const std::optional<bool> maximized = reader.boolean(QStringLiteral("Maximize"));
    if (!maximized) return reportError(reader.error());
    next.maximized = *maximized;
    placement = next;
    return true;
}

bool SettingsStore::writePlacement(const WindowPlacement& placement) {
    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    settings->beginGroup(QString::fromLatin1(kDeskTopGroup));
    settings->setValue(QStringLiteral("Height"), placement.height);
    settings->setValue(QStringLiteral("Width"), placement.width);
    settings->setValue(QStringLiteral("Left"), placement.left);
    settings->setValue(QStringLiteral("Top"), placement.top);
    settings->setValue(QStringLiteral("Maximize"), placement.maximized ? 1 : 0);
    settings->endGroup();
    return finishWrite(*settings);
}

bool SettingsStore::readBrowser(QString& browserProgram, QString& url) {
    const QString program = m_browserLookup ? m_browserLookup() : QString();
    if (!program.isEmpty()) browserProgram = program;

    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    if (!hasGroup(*settings, kSettingsGroup)) return false;

    GroupReader reader(*settings, kSettingsGroup);
    const std::optional<QString> address = reader.text(QStringLiteral("URL"));
    if (!address) return reportError(reader.error());
    url = *address;
    return !program.isEmpty();
}

bool SettingsStore::writeBase(const SetupValues& values) {
    if (values.installPath.isEmpty() || !QDir::isAbsolutePath(values.installPath))
        return reportError(QStringLiteral("The install folder \"%1\" is not an absolute path.")
                               .arg(QDir::toNativeSeparators(values.installPath)));

    const std::unique_ptr<QSettings> settings = openChecked();
    if (!settings) return false;
    {
        // Harmony values that are missing or unusable get their defaults.
        GroupReader check(*settings, kSettingsGroup);
        for (const HarmonyValue& entry : kHarmonyValues) {
            if (!check.harmonyValue(entry))
                settings->setValue(QString::fromLatin1(entry.name),
                                   storedForm(entry, kBuiltInHarmonySettings));
        }
        settings->setValue(QStringLiteral("InstallPath"), withSeparator(values.installPath));
        settings->setValue(QStringLiteral("WorkPath"), values.workPath);
        settings->setValue(QStringLiteral("ImagesPath"), values.imagesPath);
        settings->setValue(QStringLiteral("DataPath"), values.dataPath);
        settings->setValue(QStringLiteral("URL"), values.url);
    }
    {
        GroupReader check(*settings, kRecentFilesGroup);
        if (!check.integer(QStringLiteral("MaxNumberFiles"), 0, std::numeric_limits<int>::max()))
            settings->setValue(QStringLiteral("MaxNumberFiles"), kSetupMaxNumberFiles);
    }
    return finishWrite(*settings);
}

// ---- web browser ------------------------------------------------------------

QString browserProgramFromCommand(const QString& command) {
    const QString text = command.trimmed();
    if (text.startsWith(QLatin1Char('"'))) {
        const qsizetype close = text.indexOf(QLatin1Char('"'), 1);
        return (close < 0 ? text.mid(1) : text.mid(1, close - 1)).trimmed();
    }
    const qsizetype exe = text.indexOf(QLatin1String(".exe"), 0, Qt::CaseInsensitive);
    if (exe >= 0) return text.left(exe + 4);
    static const QRegularExpression kBlank(QStringLiteral("\\s"));
    const qsizetype blank = text.indexOf(kBlank);
    return blank < 0 ? text : text.left(blank);
}

QString findPlatformBrowser() {
#if defined(Q_OS_WIN)
    const QSettings classes(QStringLiteral("HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command"),
                            QSettings::NativeFormat);
    return browserProgramFromCommand(classes.value(QStringLiteral("Default")).toString());
#elif defined(Q_OS_MACOS)
    return QStandardPaths::findExecutable(QStringLiteral("open"));
#else
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
#endif
}

} // namespace korvanta
