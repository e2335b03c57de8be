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
        const char* config;
    } cases[] = {
        {QStringLiteral("/x/cfg/"), "/x/cfg"},
        {QString(), "/home/u/.config"},  // unset
        {QStringLiteral(""), "/home/u/.config"},
        {QStringLiteral("cfg"), "/home/u/.config"},  // relative: ignored
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AutostartFilePath(c.xdg, QStringLiteral("/home/u")), QString::fromUtf8(c.config) + kEntryName);
    }
}

TEST(AutostartTest, ExecQuotesArgumentsWithReservedCharactersAndMakesTheProfileAbsolute)
{
    const struct {
        const char* argument;
        const char* quoted;
    } cases[] = {
        {"/opt/a=b,c:d+é/日本", "/opt/a=b,c:d+é/日本"},
        {"", R"("")"},
        {"/opt/Koto Bane", R"("/opt/Koto Bane")"},
        {R"(a"b`c$d\e)", R"("a\"b\`c\$d\\e")"},
        {"it's ~(x)|&;<>*?#\t", "\"it's ~(x)|&;<>*?#\t\""},  // reserved, not escaped
        {"100%", "100%%"},
        {"100 %u", R"("100 %%u")"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteExecArgument(QString::fromUtf8(c.argument)), QString::fromUtf8(c.quoted)) << c.argument;
    }
    EXPECT_EQ(AutostartExec(QStringLiteral("/usr/bin/kotobane"), QString()), QStringLiteral("/usr/bin/kotobane"));
    EXPECT_EQ(AutostartExec(QStringLiteral("/my build/k"), QStringLiteral("/p $x")),
              QStringLiteral(R"("/my build/k" --profile-dir "/p \$x")"));
    EXPECT_EQ(AutostartExec(QStringLiteral("/k"), QStringLiteral("p")),
              QStringLiteral("/k --profile-dir ") + QDir::currentPath() + QStringLiteral("/p"));
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
    // A quoted backslash is four in the file.
    EXPECT_TRUE(AutostartEntry(QStringLiteral(R"("a\\b\"c" %%)")).contains("\nExec=\"a\\\\\\\\b\\\\\"c\" %%\n"));
    EXPECT_TRUE(AutostartEntry(QStringLiteral("\"a\nb\tc\"")).contains("\nExec=\"a\\nb\\tc\"\n"));
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

    const QString exec = QStringLiteral("/k --profile-dir /p");
    EXPECT_EQ(SetAutostart(path, true, exec), QString());
    EXPECT_TRUE(AutostartEnabled(path));
    EXPECT_EQ(Contents(path), AutostartEntry(exec));
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(dir.filePath(QStringLiteral("new"))).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(SetAutostart(path, false, exec), QString());
    EXPECT_FALSE(AutostartEnabled(path));
    EXPECT_EQ(SetAutostart(path, false, exec), QString()) << "an entry already gone is no error";
    ASSERT_TRUE(QDir().mkpath(path));
    EXPECT_EQ(SetAutostart(path, false, exec), QStringLiteral("error on delete ") + path + "\nIs a directory");
    EXPECT_EQ(SetAutostart(path, true, exec), QStringLiteral("error on write ") + path + "\nIs a directory");
}

}  // namespace
