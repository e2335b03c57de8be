#include "settings/Autostart.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace kotobane;

namespace {

const QString kEntryName = QStringLiteral("/autostart/io.github.kotobane.Kotobane.desktop");

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

TEST(AutostartTest, FileFollowsXdgConfigHomeAndFallsBackToDotConfig)
{
    const struct {
        QString xdg;
        const char* expected;
    } cases[] = {
        {QStringLiteral("/x/cfg"), "/x/cfg"},
        {QStringLiteral("/x/cfg/"), "/x/cfg"},
        {QString(), "/home/u/.config"},  // unset
        {QStringLiteral(""), "/home/u/.config"},
        {QStringLiteral("cfg"), "/home/u/.config"},  // relative: not to be used
        {QStringLiteral("./x"), "/home/u/.config"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AutostartFilePath(c.xdg, QStringLiteral("/home/u")), QString::fromUtf8(c.expected) + kEntryName)
            << c.xdg.toStdString();
    }
}

TEST(AutostartTest, ExecArgumentsAreQuotedWhereTheKeyReservesACharacter)
{
    const struct {
        const char* argument;
        const char* quoted;
    } cases[] = {
        {"/usr/bin/kotobane", "/usr/bin/kotobane"},
        {"/opt/a=b,c:d+é/日本", "/opt/a=b,c:d+é/日本"},
        {"", R"("")"},
        {"/opt/Koto Bane/kotobane", R"("/opt/Koto Bane/kotobane")"},
        {"a\tb", "\"a\tb\""},
        {R"(a"b)", R"("a\"b")"},
        {"a`b", R"("a\`b")"},
        {"a$b", R"("a\$b")"},
        {R"(a\b)", R"("a\\b")"},
        {"it's", R"("it's")"},  // reserved, but not escaped inside quotes
        {"~/k", R"("~/k")"},
        {"a(b)|c&d;e<f>g*h?i#j", R"("a(b)|c&d;e<f>g*h?i#j")"},
        {"100%", "100%%"},
        {"100 %u", R"("100 %%u")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteExecArgument(QString::fromUtf8(c.argument)), QString::fromUtf8(c.quoted)) << c.argument;
    }
}

TEST(AutostartTest, ExecStartsTheProgramWithAnAbsoluteProfileDirectory)
{
    const struct {
        const char* program;
        QString profileDir;
        QString exec;
    } cases[] = {
        {"/usr/bin/kotobane", QString(), QStringLiteral("/usr/bin/kotobane")},
        {"/w/build/kotobane", QStringLiteral("/p"), QStringLiteral("/w/build/kotobane --profile-dir /p")},
        {"/w/my build/kotobane", QStringLiteral("/p $x"),
         QStringLiteral(R"("/w/my build/kotobane" --profile-dir "/p \$x")")},
        {"/k", QStringLiteral("prof"),
         QStringLiteral("/k --profile-dir ") + QDir::currentPath() + QStringLiteral("/prof")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AutostartExec(QString::fromUtf8(c.program), c.profileDir), c.exec) << c.program;
    }
}

TEST(AutostartTest, EntryIsAnApplicationWithTheExecValueEscaped)
{
    EXPECT_EQ(AutostartEntry(QStringLiteral("/usr/bin/kotobane")),
              "[Desktop Entry]\n"
              "Type=Application\n"
              "Name=Kotobane\n"
              "Comment=Shows the reading of Japanese, Chinese and Korean text selected in any application\n"
              "Icon=io.github.kotobane.Kotobane\n"
              "Exec=/usr/bin/kotobane\n");
    const struct {
        const char* exec;
        const char* line;
    } cases[] = {
        {R"("a\\b")", R"(Exec="a\\\\b")"},  // a quoted backslash is four in the file
        {R"("a\"b" %%)", R"(Exec="a\\"b" %%)"},
        {"\"a\nb\tc\rd\"", R"(Exec="a\nb\tc\rd")"},
        {"/opt/日本/k", "Exec=/opt/日本/k"},
    };
    for (const auto& c : cases) {
        const QByteArray entry = AutostartEntry(QString::fromUtf8(c.exec));
        EXPECT_TRUE(entry.contains("\n" + QByteArray(c.line) + "\n")) << c.exec << "\n" << entry.toStdString();
    }
}

TEST(AutostartTest, OnWritesTheEntryInNewPrivateFoldersAndOffRemovesIt)
{
    QTemporaryDir dir;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    const bool wasSet = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("new/config"))));
    const QString path = AutostartFilePath();
    wasSet ? qputenv("XDG_CONFIG_HOME", saved) : qunsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(path, dir.filePath(QStringLiteral("new/config")) + kEntryName);

    const QString exec = QStringLiteral("/usr/bin/kotobane --profile-dir /p");
    EXPECT_FALSE(AutostartEnabled(path));
    EXPECT_EQ(SetAutostart(path, true, exec), QString());
    EXPECT_TRUE(AutostartEnabled(path));
    EXPECT_EQ(Contents(path), AutostartEntry(exec));
    for (const char* folder : {"new", "new/config", "new/config/autostart"}) {
        struct stat st { };
        ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(QString::fromLatin1(folder))).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    EXPECT_EQ(SetAutostart(path, true, QStringLiteral("/k")), QString());  // replaced
    EXPECT_EQ(Contents(path), AutostartEntry(QStringLiteral("/k")));
    EXPECT_EQ(SetAutostart(path, false, exec), QString());
    EXPECT_FALSE(AutostartEnabled(path));
    EXPECT_EQ(SetAutostart(path, false, exec), QString()) << "an entry already gone is no error";

    // A file where a folder should be, a folder where the entry should be.
    ASSERT_TRUE(QFile(dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly));
    const QString blocked = dir.filePath(QStringLiteral("file")) + kEntryName;
    EXPECT_EQ(SetAutostart(blocked, true, exec), QStringLiteral("error on write ") + blocked + "\nNot a directory");
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_EQ(SetAutostart(path, false, exec), QStringLiteral("error on delete ") + path + "\nIs a directory");
    EXPECT_EQ(SetAutostart(path, true, exec), QStringLiteral("error on write ") + path + "\nIs a directory");
}

}  // namespace
