// The console keeps the share open to the people it was open to: a document it encrypts or
// converts keeps its owner, group and permission bits, key.dat keeps its mode and a new one is
// for the network folder's group only, and the key list is readable by its owner only.
#include "ConsoleFixture.h"
#include "FolderEncryption.h"
#include "MainWindow.h"
#include "SystemFiles.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varkel::admin::test {
namespace {

namespace fs = std::filesystem;
using varkel::test::randomBytes;

const std::string kOldKey = "314159265358979323";
const std::string kNewKey = "271828182845904523";

struct Attributes {
    mode_t mode;
    gid_t group;
    bool operator==(const Attributes&) const = default;
};

void PrintTo(const Attributes& a, std::ostream* out) { *out << std::oct << a.mode << std::dec << " group " << a.group; }

Attributes attributesOf(const fs::path& file) {
    struct stat info {};
    EXPECT_EQ(::stat(file.c_str(), &info), 0) << file;
    return {info.st_mode & 07777, info.st_gid};
}

void give(const fs::path& file, Attributes a) {
    ASSERT_EQ(::chown(file.c_str(), ::getuid(), a.group), 0) << file;
    ASSERT_EQ(::chmod(file.c_str(), a.mode), 0) << file;
}

gid_t groupId(const char* name) {
    const struct group* g = ::getgrnam(name);
    return g != nullptr ? g->gr_gid : static_cast<gid_t>(-1);
}

class PermissionsTest : public ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        daemon = groupId("daemon");
        users = groupId("users");
        if (::geteuid() != 0 || daemon == static_cast<gid_t>(-1) || users == static_cast<gid_t>(-1))
            GTEST_SKIP() << "giving files to other groups needs root and the groups daemon and users";
        networkFolder(kOldKey + "\r\n");
        give(share, {0770, users});
        give(share / "key.dat", {0640, daemon});
        fs::create_directories(share / "Docs");
        writeBytes(work() / "Keys.dat", kNewKey + "\r\n");
        give(work() / "Keys.dat", {0644, ::getgid()});
    }
    std::string plainUnder(const std::string& key, const std::string& document) {
        std::string k = key, command = commandName(document) + " check.out";
        EXPECT_EQ(Library().VrkGenBinaryKeys(k), 0);
        EXPECT_EQ(Library().VrkBinaryFileDec(command), 0);
        const std::string plain = readBytes(work() / "check.out");
        fs::remove(work() / "check.out");
        return plain;
    }
    gid_t daemon = 0, users = 0;
};

TEST_F(PermissionsTest, DocumentsAndTheKeyKeepTheirModesThroughEncryptionAndConversion) {
    const struct {
        const char* name;
        Attributes attributes;
    } documents[] = {{"shared.doc", {0640, 0}}, {"open.xls", {0664, 0}}, {"mine.txt", {0600, 0}}};
    std::map<std::string, std::string> plains;
    std::map<std::string, Attributes> expected;
    for (size_t i = 0; i < std::size(documents); ++i) {
        const fs::path host = share / "Docs" / documents[i].name;
        plains[documents[i].name] = randomBytes(2000 + i, static_cast<uint32_t>(i + 1));
        writeBytes(host, plains[documents[i].name]);
        const Attributes a{documents[i].attributes.mode, i == 0 ? daemon : users};
        give(host, a);
        expected[documents[i].name] = a;
    }
    auto expectKept = [&](const std::string& key) {
        for (const auto& [name, plain] : plains) {
            const fs::path host = share / "Docs" / name;
            EXPECT_EQ(attributesOf(host), expected[name]) << name;
            EXPECT_EQ(plainUnder(key, "N:\\Docs\\" + name), plain) << name;
        }
    };

    MainWindow w;
    dialogs.answers = {true};
    pickFolder(w, "Command9", {"Docs"});
    expectKept(kOldKey);

    dialogs.answers = {true};
    whenModal([](QWidget* window) {
        auto* list = window->findChild<QListWidget*>("List1");
        list->setCurrentRow(0);
        list->item(0)->setSelected(true);
        window->findChild<QPushButton*>("Command1")->click();
    });
    w.findChild<QPushButton*>("Command8")->click();
    ASSERT_EQ(readBytes(share / "key.dat"), kNewKey + "\r\n") << dialogs.messages.join("|").toStdString();
    expectKept(kNewKey);
    EXPECT_EQ(attributesOf(share / "key.dat"), (Attributes{0640, daemon}));
    EXPECT_EQ(attributesOf(work() / "Keys.dat"), (Attributes{0644, ::getgid()}));  // untouched so far
}

TEST_F(PermissionsTest, TheKeyListIsOwnerOnlyAndANewKeyFileIsForTheFoldersGroupOnly) {
    MainWindow w;
    whenModal([](QWidget* gen) {
        gen->findChild<QLineEdit*>("Text1")->setText("2");
        gen->findChild<QPushButton*>("Command1")->click();  // Add
    });
    w.findChild<QPushButton*>("Command5")->click();
    EXPECT_EQ(shared::readLines("Keys.dat").size(), 3u);
    EXPECT_EQ(attributesOf(work() / "Keys.dat").mode, 0600);

    // Set Key keeps the mode key.dat has.
    w.findChild<QLineEdit*>("Text2")->setText("123456789");
    w.findChild<QPushButton*>("Command6")->click();
    EXPECT_EQ(readBytes(share / "key.dat"), "123456789\r\n");
    EXPECT_EQ(attributesOf(share / "key.dat"), (Attributes{0640, daemon}));

    // Without one, the new key.dat is for the network folder's group, and nobody else.
    fs::remove(share / "key.dat");
    w.findChild<QLineEdit*>("Text2")->setText("987654321");
    w.findChild<QPushButton*>("Command6")->click();
    const Attributes created = attributesOf(share / "key.dat");
    EXPECT_EQ(created.group, users);
    EXPECT_EQ(created.mode & 07, 0u);
    EXPECT_NE(created.mode & 040, 0u);  // the launchers of the group read it
}

}  // namespace
}  // namespace varkel::admin::test
