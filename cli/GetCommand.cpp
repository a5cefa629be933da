#include "CliSession.h"
#include "KvVRELRequest.h"
#include "VisibleText.h"

#include <QCommandLineParser>
#include <QEventLoop>

#include <algorithm>
#include <iostream>

namespace vrel::cli {

namespace {

KvVRELVarList VariablesFrom(const QStringList& texts) {
    if (texts.isEmpty())
        throw UsageError("name at least one variable with --var ID:TYPE[:NAME]");
    KvVRELVarList vars;
    std::vector<VariableDef> table;
    std::vector<VarArgument> parsed;
    for (const QString& text : texts)
        parsed.push_back(ParseVarArgument(text.toLatin1().toStdString()));
    for (const VarArgument& s : parsed)
        table.push_back({s.id, s.name.c_str(), s.type, kReadOnly, nullptr, nullptr, nullptr});
    table.push_back({0, nullptr, 0, 0, nullptr, nullptr, nullptr});
    vars.append_definitions(table.data());
    return vars;
}

std::string Output(const KvVRELVarList& vars, bool json) {
    if (json) {
        // In the order of the --var options; a name given twice keeps its last value.
        JsonFields fields;
        for (int i = 0; i < vars.count(); ++i) {
            const auto same =
                std::ranges::find(fields, vars.at(i).name, &JsonFields::value_type::first);
            const QString value = QString::fromLatin1(vars.at(i).value);
            if (same != fields.end())
                same->second = value;
            else
                fields.emplace_back(vars.at(i).name, value);
        }
        return JsonObjectText(fields) + "\n";
    }
    std::string out;
    for (int i = 0; i < vars.count(); ++i)
        out += vars.at(i).name + "=" + VisibleText(vars.at(i).value) + "\n"; // one line each
    return out;
}

} // namespace

int RunGet(const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Read variables of the device with the MAC address MAC. Each --var names one by its id\n"
        "and value type (bool8, int8, uint8, bool16, int16, uint16, bool32, int32, uint32,\n"
        "double, timeticks, datetime, ipaddress, macaddress, bitstr, octetstr, displaystr).");
    AddDeviceOptions(parser);
    parser.addOption(
        {"var", "A variable to read, as ID:TYPE[:NAME]; repeatable.", "ID:TYPE[:NAME]"});
    parser.addOption({"json", "Print a JSON object keyed by name."});
    ParseOrThrow(parser, args);
    const std::string mac = TargetMacFrom(parser, "get");
    KvVRELVarList vars = VariablesFrom(parser.values("var"));
    const std::uint32_t timeout = TimeoutFrom(parser);
    const QHostAddress destination = DestinationFrom(parser);
    const std::vector<std::string> interfaces = InterfacesFrom(parser);
    const std::string password = PasswordFrom(parser);

    int exitCode = kExitDeviceFailure;
    QEventLoop loop;
    auto done = [&](const KvVRELError& e, KvVRELVarList& answer) {
        if (e.code == 0) {
            std::cout << Output(answer, parser.isSet("json"));
            exitCode = kExitOk;
        } else {
            std::cerr << e.message << "\n";
        }
        loop.quit();
    };
    KvVRELClient client(nullptr, destination);
    client.SetInterfaceNames(interfaces);
    KvVRELRequest request;
    request.client = &client;
    request.targetMac = mac;
    request.password = password;
    request.timeout = timeout;
    request.variables.assign(vars);
    TellSendFailures(client, [&] { request.GetAsync(done); });
    const std::int64_t deadline =
        KvVRELClient::TickCount() + static_cast<std::int64_t>(timeout) * 10;
    ProgressLine progress([&] {
        return "Reading " + mac + "... " + std::to_string(SecondsLeft(deadline)) + " s left";
    });
    loop.exec();
    return exitCode;
}

} // namespace vrel::cli
