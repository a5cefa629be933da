#include "BenchSupport.h"
#include "NetworkSandbox.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <regex>

namespace vrel::bench {
namespace {

std::string LastLine(QProcess& p) {
    const QStringList lines =
        QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed().split('\n');
    return lines.isEmpty() ? std::string() : lines.last().toStdString();
}

// The generator answers the Discover of one receiver; both report what they measured.
struct Burst {
    Fields generator, receiver;
};

Burst RunBurst(int answers, int spreadMs, const QString& receiver, QStringList receiverArgs) {
    QProcess gen;
    gen.start(VREL_BIN_DIR "/vrel-burst",
              {"--answers", QString::number(answers), "--senders", "3", "--spread-ms",
               QString::number(spreadMs), "--wait-ms", "5000"});
    if (!gen.waitForReadyRead(5000) || gen.readLine() != "ready\n")
        return {};
    QProcess rx;
    rx.start(VREL_BIN_DIR "/" + receiver, receiverArgs << "--expect" << QString::number(answers)
                                                       << "--window-ms"
                                                       << "3000");
    rx.waitForFinished(10000);
    gen.waitForFinished(10000);
    return {ParseFields(LastLine(gen)), ParseFields(LastLine(rx))};
}

TEST(BurstBench, EveryAnswerOfASmallBurstPassesTheClientChecksAndIsCaught) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    struct Row {
        const char* receiver;
        int spreadMs;
        QStringList args;
    };
    // The raw receiver counts only answers that pass check_response with its own sequence
    // number and a MAC not seen before, so the generator must have learnt the requester's
    // port and sequence and given every device its own MAC.
    const Row rows[] = {
        {"vrel-raw-recv", 0, {"--sequence", "77"}},
        {"vrel-raw-recv", 100, {"--sequence", "200"}},
        {"vrel-bench-window", 0, {}},
    };
    constexpr int kAnswers = 40;
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.receiver) + " spread " + std::to_string(row.spreadMs));
        const Burst b = RunBurst(kAnswers, row.spreadMs, row.receiver, row.args);
        EXPECT_EQ(b.generator.count("sent") ? b.generator.at("sent") : -1, kAnswers);
        EXPECT_EQ(b.receiver.count("caught") ? b.receiver.at("caught") : -1, kAnswers);
        if (!row.args.isEmpty()) {
            EXPECT_EQ(b.generator.count("sequence") ? b.generator.at("sequence") : -1,
                      row.args[1].toDouble());
        }
    }
}

TEST(BurstBench, DriverRunsEveryReceiverAgainstTheSameBurst) {
    VREL_REQUIRE_NETWORK_SANDBOX();
    QProcess driver;
    driver.start(VREL_BIN_DIR "/vrel-bench",
                 {"--answers", "20", "--runs", "1", "--window-ms", "1000", "--case", "1"});
    ASSERT_TRUE(driver.waitForFinished(60000));
    const std::string out = driver.readAllStandardOutput().toStdString();
    for (const char* receiver : {"limit \\(recvmmsg\\)", "vrel discover", "window presenter"})
        EXPECT_TRUE(
            std::regex_search(out, std::regex(std::string(receiver) + " +20 \\(20-20\\) +1\\.00")))
            << receiver << " in\n"
            << out;
}

} // namespace
} // namespace vrel::bench
