#include "VrelRun.h"

#include <QElapsedTimer>
#include <QProcess>

namespace vrel::test {

VrelRun RunVrel(const QStringList& args, const VrelInput& input) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("VREL_PASSWORD");
    if (input.passwordVariable)
        env.insert("VREL_PASSWORD", QString::fromStdString(*input.passwordVariable));
    process.setProcessEnvironment(env);
    QElapsedTimer clock;
    clock.start();
    process.start(VREL_BIN_DIR "/vrel", args);
    VrelRun run;
    if (!process.waitForStarted(5000)) {
        run.err = "cannot start vrel: " + process.errorString().toStdString();
        return run;
    }
    if (input.stdinText)
        process.write(input.stdinText->data(), qint64(input.stdinText->size()));
    process.closeWriteChannel();
    if (!process.waitForFinished(input.killAfterMs)) {
        process.kill();
        process.waitForFinished(3000);
    }
    run.elapsedMs = clock.elapsed();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    if (process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    return run;
}

std::string Describe(const QStringList& args, const VrelRun& run) {
    return "vrel " + args.join(' ').toStdString() + "\nexit " + std::to_string(run.exitCode) +
           "\nstdout:\n" + run.out + "stderr:\n" + run.err;
}

} // namespace vrel::test
