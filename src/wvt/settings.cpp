// Loading and saving the settings record through QSettings in INI form, one value per field in the group
// "Settings", with the registry's rules: names match regardless of case, bools are 0/1 numbers and a value
// of the wrong kind leaves the default in place.
#include "wvt/settings.h"

#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <optional>
#include <system_error>
#include <thread>
#include <variant>

namespace {

using FieldRef = std::variant<std::string config::*, int config::*, bool config::*>;

struct Field {
    const char* name;
    FieldRef ref;
};

// Every stored value except the column widths, which are numbered col0 ... col4.
const Field kFields[] = {
    {"path", &config::path},
    {"output", &config::output},
    {"recent", &config::recent},
    {"samefolder", &config::samefolder},
    {"width", &config::width},
    {"height", &config::height},
    {"openfolder", &config::openfolder},
    {"codec", &config::codec},
    {"mp3srate", &config::mp3srate},
    {"mp3mode", &config::mp3mode},
    {"mp3bitrate", &config::mp3bitrate},
    {"mp3private", &config::mp3private},
    {"mp3original", &config::mp3original},
    {"mp3copyright", &config::mp3copyright},
    {"mp3crc", &config::mp3crc},
    {"mp3vbr", &config::mp3vbr},
    {"mp3vbrquality", &config::mp3vbrquality},
    {"wmacodec", &config::wmacodec},
    {"wmaformat", &config::wmaformat},
    {"oggsrate", &config::oggsrate},
    {"oggmode", &config::oggmode},
    {"oggquality", &config::oggquality},
    {"wavsrate", &config::wavsrate},
    {"wavmode", &config::wavmode},
    {"wavbps", &config::wavbps},
    {"aifsrate", &config::aifsrate},
    {"aifmode", &config::aifmode},
    {"aifbps", &config::aifbps},
    {"amrbitrate", &config::amrbitrate},
    {"amrsamplerate", &config::amrsamplerate},
    {"flacsamplerate", &config::flacsamplerate},
    {"flacmode", &config::flacmode},
    {"flacbps", &config::flacbps},
    {"flaccompression", &config::flaccompression},
    {"flacnonsubset", &config::flacnonsubset},
    {"apesamplerate", &config::apesamplerate},
    {"apemode", &config::apemode},
    {"apebps", &config::apebps},
    {"apecompression", &config::apecompression},
    {"aacsamplerate", &config::aacsamplerate},
    {"aacmode", &config::aacmode},
    {"aacbitrate", &config::aacbitrate},
    {"alacsamplerate", &config::alacsamplerate},
    {"alacmode", &config::alacmode},
    {"alacbps", &config::alacbps},
    {"alacfastmode", &config::alacfastmode},
    {"recurse", &config::recurse},
    {"tags", &config::tags},
    {"retaindate", &config::retaindate},
    {"keepfolder", &config::keepfolder},
    {"checkupdates", &config::checkupdates},
    {"overwrite", &config::overwrite},
    {"opussamplerate", &config::opussamplerate},
    {"opusmode", &config::opusmode},
    {"opusbitrate", &config::opusbitrate},
    {"opusvbrmode", &config::opusvbrmode},
    {"wvsamplerate", &config::wvsamplerate},
    {"wvmode", &config::wvmode},
    {"wvcompression", &config::wvcompression},
    {"wvbps", &config::wvbps},
    {"priority", &config::priority},
    {"threadscount", &config::threadscount},
};

const char kGroup[] = "Settings";

QString ColName(int index) {
    return QStringLiteral("col%1").arg(index);
}

// Registry value names are case-insensitive: an exact match wins, otherwise the first key that differs
// only in case (so "Path" or "PATH" written by another tool is read as path).
std::optional<QString> FindKey(const QStringList& keys, const QString& name) {
    if (keys.contains(name)) return name;
    for (const QString& key : keys) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) return key;
    }
    return std::nullopt;
}

std::optional<int> ReadInt(const QVariant& value) {
    switch (value.typeId()) {
        case QMetaType::QString: {
            bool ok = false;
            const int number = value.toString().trimmed().toInt(&ok, 10);
            if (ok) return number;
            return std::nullopt;
        }
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong: {
            bool ok = false;
            const qlonglong number = value.toLongLong(&ok);
            if (ok && number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max())
                return static_cast<int>(number);
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

std::optional<bool> ReadBool(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool) return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        // Qt itself writes bools as true/false; accept those beside the registry's numbers.
        const QString text = value.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
        if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    }
    if (auto number = ReadInt(value)) return *number != 0;
    return std::nullopt;
}

std::optional<std::string> ReadString(const QVariant& value) {
    if (value.typeId() == QMetaType::QString) return value.toString().toStdString();
    // An unquoted text with commas comes back from the INI reader split into a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1String(", ")).toStdString();
    return std::nullopt;
}

QString ToQString(const std::filesystem::path& file) {
    return QString::fromStdString(file.string());
}

// Keeps one spelling per value: variants in other letter cases would shadow the value on the next load.
void RemoveCaseVariants(QSettings& store, const QStringList& keys, const QString& name) {
    for (const QString& key : keys) {
        if (key != name && key.compare(name, Qt::CaseInsensitive) == 0) store.remove(key);
    }
}

}  // namespace

std::filesystem::path SettingsFile() {
    QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillsound"),
                    QStringLiteral("wavetrove"));
    return std::filesystem::path(store.fileName().toStdString());
}

void LoadSettings(config& settings) {
    LoadSettings(settings, SettingsFile());
}

void LoadSettings(config& settings, const std::filesystem::path& file) {
    settings = config{};
    settings.path = ProgramFolder();
    settings.recent = settings.path;
    settings.output = MusicFolder();
    settings.threadscount = ProcessorCount();

    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        std::filesystem::create_directories(file.parent_path(), error);
        std::ofstream create(file, std::ios::app);
    }

    QSettings store(ToQString(file), QSettings::IniFormat);
    store.beginGroup(QLatin1String(kGroup));
    const QStringList keys = store.childKeys();

    for (const Field& field : kFields) {
        const auto key = FindKey(keys, QLatin1String(field.name));
        if (!key) continue;
        const QVariant value = store.value(*key);
        std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, std::string config::*>) {
                    if (auto text = ReadString(value)) settings.*member = *text;
                } else if constexpr (std::is_same_v<Member, int config::*>) {
                    if (auto number = ReadInt(value)) settings.*member = *number;
                } else {
                    if (auto flag = ReadBool(value)) settings.*member = *flag;
                }
            },
            field.ref);
    }
    for (int i = 0; i < static_cast<int>(settings.col.size()); ++i) {
        const auto key = FindKey(keys, ColName(i));
        if (!key) continue;
        if (auto number = ReadInt(store.value(*key))) settings.col[i] = *number;
    }
}

void SaveSettings(const config& settings) {
    SaveSettings(settings, SettingsFile());
}

void SaveSettings(const config& settings, const std::filesystem::path& file) {
    QSettings store(ToQString(file), QSettings::IniFormat);
    store.beginGroup(QLatin1String(kGroup));
    const QStringList keys = store.childKeys();

    for (const Field& field : kFields) {
        const QString name = QLatin1String(field.name);
        RemoveCaseVariants(store, keys, name);
        std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, std::string config::*>) {
                    store.setValue(name, QString::fromStdString(settings.*member));
                } else {
                    // Bools are stored as the numbers 0 and 1, like the ints.
                    store.setValue(name, static_cast<int>(settings.*member));
                }
            },
            field.ref);
    }
    for (int i = 0; i < static_cast<int>(settings.col.size()); ++i) {
        RemoveCaseVariants(store, keys, ColName(i));
        store.setValue(ColName(i), settings.col[i]);
    }
    store.endGroup();
    store.sync();
}

int ProcessorCount() {
    const unsigned count = std::thread::hardware_concurrency();
    return count == 0 ? 1 : static_cast<int>(count);
}

std::string MusicFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::MusicLocation).trimmed();
    if (folder.isEmpty()) return {};
    std::error_code error;
    // Qt names $HOME/Music even when it does not exist; a folder that is not there is no music folder.
    if (!std::filesystem::is_directory(folder.toStdString(), error)) return {};
    return folder.toStdString();
}

std::string ProgramFolder() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    std::string folder = exe.parent_path().string();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

bool SetSettingFromText(config& settings, const std::string& name, const std::string& value) {
    auto parseInt = [](const std::string& text, int& out) {
        if (text.empty()) return false;
        char* end = nullptr;
        errno = 0;
        long n = std::strtol(text.c_str(), &end, 10);
        if (*end != '\0' || errno != 0 || n < std::numeric_limits<int>::min() ||
            n > std::numeric_limits<int>::max())
            return false;
        out = static_cast<int>(n);
        return true;
    };
    if (name.size() == 4 && name.compare(0, 3, "col") == 0 && name[3] >= '0' && name[3] <= '4')
        return parseInt(value, settings.col[name[3] - '0']);
    for (const Field& field : kFields) {
        if (name != field.name) continue;
        return std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, std::string config::*>) {
                    settings.*member = value;
                    return true;
                } else if constexpr (std::is_same_v<Member, int config::*>) {
                    return parseInt(value, settings.*member);
                } else {
                    if (value == "true" || value == "on" || value == "yes") {
                        settings.*member = true;
                        return true;
                    }
                    if (value == "false" || value == "off" || value == "no") {
                        settings.*member = false;
                        return true;
                    }
                    int n = 0;
                    if (!parseInt(value, n)) return false;
                    settings.*member = n != 0;  // any non-zero number is true, as stored values read
                    return true;
                }
            },
            field.ref);
    }
    return false;
}
