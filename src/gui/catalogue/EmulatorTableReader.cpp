#include "gui/catalogue/EmulatorTableReader.h"

#include "core/catalogue/CategoryTable.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

#include <optional>

using marlit::EmulatorPreset;
using marlit::EmulatorTable;

namespace {

// Collects what is wrong with one entry; the entry is used only when nothing is.
class EntryCheck
{
public:
    EntryCheck(const QJsonObject &object, QString where) : m_object(object), m_where(std::move(where)) {}

    bool ok() const { return m_problems.isEmpty(); }
    const QStringList &problems() const { return m_problems; }
    void fail(const QString &what) { m_problems << m_where + QStringLiteral(": ") + what; }

    void allowOnly(const QStringList &keys)
    {
        for (const QString &key : m_object.keys())
            if (!keys.contains(key))
                fail(QStringLiteral("unknown field \"%1\"").arg(key));
    }

    std::optional<std::string> text(const QString &key, bool required, bool mayBeEmpty)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined()) {
            if (required)
                fail(QStringLiteral("\"%1\" is missing").arg(key));
            return std::nullopt;
        }
        if (!value.isString() || (!mayBeEmpty && value.toString().isEmpty())) {
            fail(QStringLiteral("\"%1\" must be a%2 text")
                     .arg(key, mayBeEmpty ? QString() : QStringLiteral(" non-empty")));
            return std::nullopt;
        }
        return value.toString().toStdString();
    }

    // A list of texts, each of which the rule accepts (rule says what it wants, empty when fine).
    std::optional<std::vector<std::string>> texts(const QString &key, bool required,
                                                  QString (*rule)(const QString &) = nullptr)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined()) {
            if (required)
                fail(QStringLiteral("\"%1\" is missing").arg(key));
            return std::nullopt;
        }
        if (!value.isArray()) {
            fail(QStringLiteral("\"%1\" must be a list of texts").arg(key));
            return std::nullopt;
        }
        std::vector<std::string> result;
        for (const QJsonValue &item : value.toArray()) {
            const QString wrong = !item.isString() || item.toString().isEmpty() ? QStringLiteral("a non-empty text")
                                  : rule                                        ? rule(item.toString())
                                                                                : QString();
            if (!wrong.isEmpty()) {
                fail(QStringLiteral("each of \"%1\" must be %2").arg(key, wrong));
                return std::nullopt;
            }
            result.push_back(item.toString().toStdString());
        }
        return result;
    }

    int category()
    {
        const std::optional<std::string> text = this->text(QStringLiteral("category"), true, false);
        const int index = text ? marlit::CategoryTable::indexOf(*text) : -1;
        if (text && index < 0)
            fail(QStringLiteral("\"category\" must be one of \"Classic\", \"Console\", \"Handheld\", \"Computer\""));
        return index;
    }

private:
    const QJsonObject &m_object;
    QString m_where;
    QStringList m_problems;
};

// The rules' patterns are made at each use, not kept in statics: a search thread may still be
// reading the table while the program ends and its statics go.
QString flatpakIdRule(const QString &id)
{
    const QRegularExpression form(QStringLiteral("^[A-Za-z_][A-Za-z0-9_-]*(\\.[A-Za-z_][A-Za-z0-9_-]*){2,}$"));
    return form.match(id).hasMatch() ? QString() : QStringLiteral("a Flatpak application id such as org.example.App");
}

QString absolutePathRule(const QString &path)
{
    return path.startsWith(u'/') ? QString() : QStringLiteral("an absolute path");
}

QString extensionRule(const QString &extension)
{
    const QRegularExpression form(QStringLiteral("^[A-Za-z0-9_+-]+$"));
    return form.match(extension).hasMatch() ? QString() : QStringLiteral("an extension without its dot, such as zip");
}

QString programRule(const QString &program)
{
    return program.contains(u'/') && !program.startsWith(u'/') ? QStringLiteral("a program name or an absolute path")
                                                               : QString();
}

// A Flatpak's parameters follow "run ID"; the ROM is always last there.
void checkFlatpakParameters(EntryCheck &check, const std::optional<std::string> &parameters)
{
    if (parameters && !parameters->empty() && parameters->front() == '@')
        check.fail(QStringLiteral("\"flatpakParameters\" cannot go after the ROM (\"@\")"));
}

std::optional<EmulatorPreset::System> readSystem(const QJsonValue &value, const QString &where, QStringList &problems)
{
    if (!value.isObject()) {
        problems << where + QStringLiteral(": must be an object");
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    EntryCheck check(object, where);
    check.allowOnly({QStringLiteral("name"), QStringLiteral("description"), QStringLiteral("category"),
                     QStringLiteral("parameters"), QStringLiteral("flatpakParameters"), QStringLiteral("files"),
                     QStringLiteral("extensions")});
    EmulatorPreset::System system;
    system.name = check.text(QStringLiteral("name"), true, false).value_or(std::string());
    system.description = check.text(QStringLiteral("description"), true, false).value_or(std::string());
    system.category = check.category();
    system.parameters = check.text(QStringLiteral("parameters"), false, true);
    system.flatpakParameters = check.text(QStringLiteral("flatpakParameters"), false, true);
    checkFlatpakParameters(check, system.flatpakParameters);
    system.files = check.texts(QStringLiteral("files"), false, absolutePathRule).value_or(std::vector<std::string>());
    system.extensions = check.texts(QStringLiteral("extensions"), false, extensionRule);
    problems << check.problems();
    return check.ok() ? std::optional(system) : std::nullopt;
}

std::optional<EmulatorPreset> readEmulator(const QJsonValue &value, int number, QStringList &problems)
{
    QString where = QStringLiteral("emulator %1").arg(number);
    if (!value.isObject()) {
        problems << where + QStringLiteral(": must be an object");
        return std::nullopt;
    }
    const QJsonObject object = value.toObject();
    if (const QJsonValue name = object.value(QStringLiteral("name")); name.isString())
        where += QStringLiteral(" (\"%1\")").arg(name.toString());
    EntryCheck check(object, where);
    check.allowOnly({QStringLiteral("name"), QStringLiteral("programs"), QStringLiteral("flatpaks"),
                     QStringLiteral("files"), QStringLiteral("install"), QStringLiteral("parameters"),
                     QStringLiteral("flatpakParameters"), QStringLiteral("extensions"), QStringLiteral("checked"),
                     QStringLiteral("systems")});
    EmulatorPreset emulator;
    emulator.name = check.text(QStringLiteral("name"), true, false).value_or(std::string());
    emulator.programs = check.texts(QStringLiteral("programs"), true, programRule).value_or(std::vector<std::string>());
    emulator.flatpaks =
        check.texts(QStringLiteral("flatpaks"), true, flatpakIdRule).value_or(std::vector<std::string>());
    if (check.ok() && emulator.programs.empty() && emulator.flatpaks.empty())
        check.fail(QStringLiteral("\"programs\" and \"flatpaks\" are both empty: it could never be found"));
    emulator.files = check.texts(QStringLiteral("files"), false, absolutePathRule).value_or(std::vector<std::string>());
    emulator.install = check.text(QStringLiteral("install"), true, false).value_or(std::string());
    emulator.parameters = check.text(QStringLiteral("parameters"), true, true).value_or(std::string());
    emulator.flatpakParameters = check.text(QStringLiteral("flatpakParameters"), false, true);
    checkFlatpakParameters(check, emulator.flatpakParameters);
    emulator.extensions =
        check.texts(QStringLiteral("extensions"), true, extensionRule).value_or(std::vector<std::string>());
    emulator.checked = check.text(QStringLiteral("checked"), true, false).value_or(std::string());

    const QJsonValue systems = object.value(QStringLiteral("systems"));
    if (!systems.isArray() || systems.toArray().isEmpty())
        check.fail(QStringLiteral("\"systems\" must be a list of at least one system"));
    QStringList systemProblems;
    const QJsonArray list = systems.toArray();
    for (qsizetype index = 0; index < list.size(); ++index) {
        const QString systemWhere = where + QStringLiteral(", system %1").arg(index + 1);
        if (std::optional<EmulatorPreset::System> system = readSystem(list.at(index), systemWhere, systemProblems))
            emulator.systems.push_back(std::move(*system));
    }
    problems << check.problems() << systemProblems;
    if (!check.ok() || !systemProblems.isEmpty())
        return std::nullopt;
    return emulator;
}

EmulatorTable unusable(const QString &problem)
{
    EmulatorTable table;
    table.problems.push_back(problem.toStdString());
    return table;
}

} // namespace

EmulatorTable EmulatorTableReader::parse(const QByteArray &json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return unusable(QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset));
    if (!document.isObject())
        return unusable(QStringLiteral("not a JSON object"));
    const QJsonObject top = document.object();
    const QJsonValue format = top.value(QStringLiteral("format"));
    if (!format.isDouble() || format.toDouble() != kFormat)
        return unusable(QStringLiteral("\"format\" must be %1").arg(kFormat));
    const QJsonValue emulators = top.value(QStringLiteral("emulators"));
    if (!emulators.isArray())
        return unusable(QStringLiteral("\"emulators\" must be a list"));

    EmulatorTable table;
    QStringList problems;
    for (const QString &key : top.keys())
        if (key != QStringLiteral("format") && key != QStringLiteral("emulators"))
            problems << QStringLiteral("unknown field \"%1\"").arg(key);
    const QJsonArray list = emulators.toArray();
    for (qsizetype index = 0; index < list.size(); ++index)
        if (std::optional<EmulatorPreset> emulator =
                readEmulator(list.at(index), static_cast<int>(index) + 1, problems))
            table.emulators.push_back(std::move(*emulator));
    for (const QString &problem : problems)
        table.problems.push_back(problem.toStdString());
    return table;
}

EmulatorTable EmulatorTableReader::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unusable(QStringLiteral("cannot be read: %1").arg(file.errorString()));
    // A few hundred emulators take tens of kilobytes; what is far larger is no table of them.
    const QByteArray bytes = file.read(kMaxBytes + 1);
    if (bytes.size() > kMaxBytes)
        return unusable(QStringLiteral("larger than %1 bytes").arg(kMaxBytes));
    return parse(bytes);
}

QString EmulatorTableReader::location()
{
    const QString installed =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QString::fromLatin1(kFileName));
    return installed.isEmpty() ? QStringLiteral(":/") + QString::fromLatin1(kFileName) : installed;
}
