#include "settings/SettingsFile.h"

#include "platform/ProfileFile.h"

#include <climits>

namespace qv::settingsfile {

const QString kWriteFailedTryAgain = QStringLiteral(
    "Unable to write QV.INI!\n\nCheck your access rights to your Windows directory, and try again.");
const QString kWriteFailed
    = QStringLiteral("Unable to write QV.INI!\n\nCheck your access rights to your Windows directory.");

namespace {

const QString kTrue = QStringLiteral("True");
const QString kFalse = QStringLiteral("False");

QString word(bool on)
{
    return on ? kTrue : kFalse;
}

bool isPlainNumber(const QString& text)
{
    bool ok = false;
    text.toInt(&ok);
    return ok;
}

bool startsNumeric(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == QLatin1Char(' '))
        ++i;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        ++i;
    return i < text.size() && text[i].isDigit();
}

std::string utf8(const QString& s)
{
    return s.toStdString();
}

QString text(const std::string& s)
{
    return QString::fromStdString(s);
}

} // namespace

QString archiverSection(int slot)
{
    return QStringLiteral("Archiver") + QString::number(slot);
}

int leadingNumber(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    long long value = 0;
    for (; i < text.size() && text[i].isDigit(); ++i)
        value = std::min<long long>(value * 10 + text[i].digitValue(), INT_MAX);
    return int(negative ? -value : value);
}

QString numberText(int value)
{
    return value < 0 ? QString::number(value) : QLatin1Char(' ') + QString::number(value);
}

std::optional<bool> truthWord(const QString& text)
{
    if (text.compare(kTrue, Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(kFalse, Qt::CaseInsensitive) == 0)
        return false;
    return std::nullopt;
}

std::string readBoardDirectory(const ProfileFile& file)
{
    QString dir = file.read(kSection, QStringLiteral("RaDir"));
    // "/" alone is a directory, not a trailing separator.
    if (dir.size() > 1 && (dir.endsWith(QLatin1Char('\\')) || dir.endsWith(QLatin1Char('/'))))
        dir.chop(1);
    return utf8(dir);
}

void readStartupValues(const ProfileFile& file, Settings& s)
{
    auto value = [&](const char* key) { return file.read(kSection, QLatin1String(key)); };
    auto flag = [](const QString& v) {
        if (auto w = truthWord(v))
            return *w;
        return startsNumeric(v) && leadingNumber(v) != 0;
    };

    const QString order = value("OriginalOrder");
    s.areasInNumberOrder = order == QLatin1String("1") || order.compare(kTrue, Qt::CaseInsensitive) == 0;
    const QString name = value("CFName");
    s.descriptionFontName = name.isEmpty() ? "Terminal" : utf8(name);
    const QString size = value("CFSize");
    s.descriptionFontSize = size.isEmpty() ? "9" : isPlainNumber(size) ? std::to_string(size.toInt()) : utf8(size);
    s.descriptionFontBold = flag(value("CFBold"));
    s.descriptionFontItalic = flag(value("CFItalic"));
    s.startupArea = leadingNumber(value("DefaultArea"));

    s.archivers = {};
    for (int slot = 1; slot <= int(s.archivers.size()); ++slot) {
        const QString section = archiverSection(slot);
        const QString extension = file.read(section, QStringLiteral("Extension"));
        if (extension.isEmpty())
            break;
        ArchiverSlot& a = s.archivers[size_t(slot - 1)];
        a.extension = utf8(extension);
        a.options = utf8(file.read(section, QStringLiteral("Options")));
        a.path = utf8(file.read(section, QStringLiteral("Path")));
    }

    const QString timeout = value("ArchiverTimeout");
    if (!timeout.isEmpty() && leadingNumber(timeout) > 0)
        s.archiverTimeoutSeconds = leadingNumber(timeout);

    const QString page = value("CodePage");
    if (!page.isEmpty())
        s.codePage = utf8(page);
    s.drives.clear();
    const QString drives = QStringLiteral("Drives");
    for (const QString& key : file.keys(drives)) {
        // "C" or "C:"; anything else is not a drive.
        if (key.isEmpty() || !key[0].isLetter() || key[0].unicode() > 127 || (key.size() > 1 && key.mid(1) != QLatin1String(":")))
            continue;
        const QString dir = file.read(drives, key);
        if (!dir.isEmpty())
            s.drives[char(key[0].toUpper().unicode())] = utf8(dir);
    }
}

Settings readBoardSettings(const ProfileFile& file)
{
    Settings s;
    s.boardDirectory = readBoardDirectory(file);
    readStartupValues(file, s);
    return s;
}

void readViewType(const ProfileFile& file, Settings& s)
{
    const QString v = file.read(kSection, QStringLiteral("ViewType"));
    s.viewAsList = v == QLatin1String("1") || v.compare(kTrue, Qt::CaseInsensitive) == 0;
}

void readWindowValues(const ProfileFile& file, Settings& s)
{
    auto value = [&](const char* key) { return file.read(kSection, QLatin1String(key)); };
    auto number = [&](const char* key, int fallback) {
        const QString v = value(key);
        return v.isEmpty() ? fallback : leadingNumber(v);
    };
    s.windowWidth = number("WindowWidth", 8000);
    s.windowSizeStored = !value("WindowWidth").isEmpty() && !value("WindowHeight").isEmpty();
    const QString lfn = value("UseLFN");
    s.useLongNames = lfn.isEmpty() || lfn == QLatin1String("1") || lfn.compare(kTrue, Qt::CaseInsensitive) == 0;
    s.windowHeight = number("WindowHeight", 7000);
    const QString panel = value("AreaListEnabled");
    if (panel.isEmpty())
        s.areaPanelShown = true;
    else if (startsNumeric(panel))
        s.areaPanelShown = leadingNumber(panel) == 1;
    else
        s.areaPanelShown = truthWord(panel).value_or(true);
    s.areaPanelWidth = number("AreaListWidth", 3500);
    const QString x = value("WindowX");
    s.windowX = x.isEmpty() ? std::nullopt : std::optional<int>(leadingNumber(x));
    const QString y = value("WindowY");
    s.windowY = y.isEmpty() ? std::nullopt : std::optional<int>(leadingNumber(y));
    s.windowState = number("WindowState", 0);
    s.descriptionPaneHeight = number("DescHeight", 1500);

    s.findText = utf8(value("FindText"));
    s.findByName = number("FindMode", 0) == 1;
    const QString mask = value("AddFilesMask").trimmed();
    s.addFilesMask = mask.isEmpty() ? std::string("*.*") : utf8(mask);
    s.addFilesShowAll = number("AddFilesShowAll", 0) == 1;
    auto widths = [&](const char* key) {
        std::vector<int> out;
        for (const QString& part : value(key).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const int w = leadingNumber(part);
            if (w <= 0)
                return std::vector<int>(); // a damaged list: the defaults
            out.push_back(w);
        }
        return out;
    };
    s.listColumnWidths = widths("ListColumns");
    s.findColumnWidths = widths("FindColumns");
}

bool writeArchiverSlots(ProfileFile& file, const std::array<ArchiverSlot, 32>& table)
{
    for (int slot = 1; slot <= int(table.size()); ++slot) {
        const ArchiverSlot& a = table[size_t(slot - 1)];
        if (a.extension.empty())
            break;
        const QString section = archiverSection(slot);
        if (!file.write(section, QStringLiteral("Extension"), text(a.extension))
            || !file.write(section, QStringLiteral("Path"), text(a.path))
            || !file.write(section, QStringLiteral("Options"), text(a.options)))
            return false;
    }
    return true;
}

ShutdownResult writeAtShutdown(ProfileFile& file, const Settings& s, bool windowNormal)
{
    auto put = [&](const char* key, const QString& value) { return file.write(kSection, QLatin1String(key), value); };
    if (windowNormal) {
        if (!put("WindowWidth", numberText(s.windowWidth)) || !put("WindowHeight", numberText(s.windowHeight))
            || !put("WindowX", numberText(s.windowX.value_or(0))) || !put("WindowY", numberText(s.windowY.value_or(0))))
            return ShutdownResult::LocationFailed;
    }
    const QString size = text(s.descriptionFontSize);
    const bool ok = put("DescHeight", numberText(s.descriptionPaneHeight)) && put("AreaListWidth", numberText(s.areaPanelWidth))
        && put("ViewType", word(s.viewAsList)) && put("UseLFN", word(s.useLongNames))
        && put("WindowState", numberText(s.windowState)) && put("AreaListEnabled", word(s.areaPanelShown))
        && put("CFName", text(s.descriptionFontName)) && put("CFSize", isPlainNumber(size) ? numberText(size.toInt()) : size)
        && put("CFBold", numberText(s.descriptionFontBold ? -1 : 0)) && put("CFItalic", numberText(s.descriptionFontItalic ? -1 : 0))
        && put("DefaultArea", numberText(s.startupArea)) && writeArchiverSlots(file, s.archivers);
    if (!ok)
        return ShutdownResult::LocationFailed;
    if (!put("OriginalOrder", numberText(s.areasInNumberOrder ? 1 : 0)))
        return ShutdownResult::ProfileFailed;
    auto widths = [](const std::vector<int>& list) {
        QStringList parts;
        for (int w : list)
            parts << QString::number(w);
        return parts.join(QLatin1Char(','));
    };
    if (!put("FindText", text(s.findText)) || !put("FindMode", numberText(s.findByName ? 1 : 0))
        || !put("AddFilesMask", text(s.addFilesMask)) || !put("AddFilesShowAll", numberText(s.addFilesShowAll ? 1 : 0))
        || !put("ListColumns", widths(s.listColumnWidths)) || !put("FindColumns", widths(s.findColumnWidths)))
        return ShutdownResult::ProfileFailed;
    return ShutdownResult::Written;
}

} // namespace qv::settingsfile
