#pragma once

#include "KvVRELClient.h"

#include <QPointer>

namespace vrel {

// A command: target, password, time-out and variable list, sent through the shared client,
// and the response condition an answer must meet before it is shown.
class KvVRELRequest {
public:
    virtual ~KvVRELRequest() = default;

    // Creates the shared client, owned by owner, and empties both module defaults. Throws
    // -1008 when the client cannot open its socket.
    static void SetUp(QObject* owner, const QHostAddress& destination = QHostAddress::Broadcast);
    // The shared client, or null before SetUp or after its owner is gone.
    static KvVRELClient* SharedClient();
    // What new command objects start with.
    static std::string& DefaultTargetMac();
    static std::string& DefaultPassword();

    void ReloadDefaults();
    // Return the sequence number; send failures are thrown (-1009 without a client).
    int DiscoverAsync(VrelCompletion callback);
    int GetAsync(VrelCompletion callback);
    bool CheckResponse(); // an empty condition passes

    // Puts the values of the variables in place of their markers in an expression.
    virtual std::string Substitute(const std::string& expression, bool quoteTexts,
                                   const std::string& marker);
    // Substitutes, then evaluates; an empty expression passes.
    virtual bool CheckCondition(const std::string& expression);

    std::uint32_t timeout = 100; // 10 ms units
    std::string targetMac = DefaultTargetMac();
    std::string password = DefaultPassword();
    KvVRELVarList variables;
    std::string responseCondition;
    // Set by a program that owns its client; null means the shared one.
    QPointer<KvVRELClient> client;
    KvVRELClient* Client() const { return client ? client.data() : SharedClient(); }

private:
    int SendThrough(std::uint8_t command, VrelCompletion callback);
};

} // namespace vrel
