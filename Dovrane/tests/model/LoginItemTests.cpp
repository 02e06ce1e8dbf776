// The XDG autostart entry behind "open at login".

#include "Services/LoginItem.h"
#include "support/ModelTestMain.h"
#include "support/TestSupport.h"

#include <DovraneKit/FileSystem.h>

#include <QTest>

using namespace dovrane;
using namespace dovrane::testing;

class LoginItemTests : public QObject {
    Q_OBJECT

private slots:
    void execKeyQuotesThePath() {
        // Inside the quotes ", `, $ and \ take a backslash and % is doubled; the value's own
        // escaping then doubles each backslash.
        QCOMPARE(AutostartEntry::execArgument("/opt/My \"App\"/$x`y\\z%u"),
                 std::string("\"/opt/My \\\\\"App\\\\\"/\\\\$x\\\\`y\\\\\\\\z%%u\""));
        QCOMPARE(AutostartEntry::execArgument("/usr/bin/dovrane"), std::string("\"/usr/bin/dovrane\""));
        QVERIFY(!AutostartEntry::entryText("/opt/two\nlines"));
        QVERIFY(!AutostartEntry::entryText(std::string("/opt/\xff\xfe")));
    }

    void writesReadsBackAndRemoves() {
        TempDir config;
        AutostartEntry entry(config.path(), "/opt/it's here/Dovrane");
        QCOMPARE(entry.path(), config / "autostart/dovrane.desktop");
        QVERIFY(!entry.isOn());

        QCOMPARE(entry.set(true), std::nullopt);
        QVERIFY(entry.isOn());
        const std::string text = Fs::readFile(entry.path()).value_or("");
        QVERIFY(text.starts_with("[Desktop Entry]\n"));
        QVERIFY(text.find("\nExec=\"/opt/it's here/Dovrane\"\n") != std::string::npos);
        QVERIFY(text.find("\nType=Application\n") != std::string::npos);

        QCOMPARE(entry.set(false), std::nullopt);
        QVERIFY(!Fs::exists(entry.path()));
        QVERIFY(!entry.isOn());
        QCOMPARE(entry.set(false), std::nullopt); // already off
    }

    void hiddenEntryIsOff() {
        TempDir config;
        AutostartEntry entry(config.path(), "/usr/bin/dovrane");
        writeFile(entry.path(), "[Desktop Entry]\nType=Application\nExec=dovrane\nHidden=true\n");
        QVERIFY(!entry.isOn());
    }

    void failuresGiveTheReason() {
        TempDir config;
        AutostartEntry unrepresentable(config.path(), "/opt/two\nlines/Dovrane");
        QVERIFY(unrepresentable.set(true).has_value());
        QVERIFY(!Fs::exists(unrepresentable.path()));

        // A file where the autostart folder belongs: no write can succeed, not even as root.
        writeFile(config / "autostart", "in the way");
        AutostartEntry blocked(config.path(), "/usr/bin/dovrane");
        QVERIFY(blocked.set(true).has_value());
        QVERIFY(!blocked.isOn());
    }
};

DOVRANE_MODEL_SUITE(LoginItemTests)
#include "LoginItemTests.moc"
