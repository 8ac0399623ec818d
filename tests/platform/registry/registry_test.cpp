#include "platform/registry/registry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "platform/last_error.h"
#include "platform/registry/registry_tree.h"
#include "tests/support/descriptors_used_up.h"
#include "tests/support/test_environment.h"

namespace {

namespace fs = std::filesystem;

// Each test works on its own settings folder, so tests of one process do not meet.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_previous = std::getenv("TARVENIX_CONFIG_DIR") ? std::getenv("TARVENIX_CONFIG_DIR") : "";
        ::setenv("TARVENIX_CONFIG_DIR", m_dir.Path().c_str(), 1);
        platform::ReloadRegistryFromFile();
    }
    void TearDown() override
    {
        platform::SetRegistryDamageHandler(nullptr);
        ::setenv("TARVENIX_CONFIG_DIR", m_previous.c_str(), 1);
        platform::ReloadRegistryFromFile();
    }

    static HKEY Create(const char* path, REGSAM sam = KEY_ALL_ACCESS)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, nullptr, 0, sam, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    static void SetString(HKEY key, const char* name, const std::string& text)
    {
        ASSERT_EQ(RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                static_cast<DWORD>(text.size() + 1)),
                  ERROR_SUCCESS);
    }
    static std::string GetString(HKEY key, const char* name)
    {
        DWORD size = 0, type = 0;
        if (RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return "<missing>";
        std::vector<BYTE> data(size);
        EXPECT_EQ(RegQueryValueEx(key, name, nullptr, nullptr, data.data(), &size), ERROR_SUCCESS);
        return reinterpret_cast<const char*>(data.data());
    }

    tarvenix::test::TempDir m_dir;
    std::string m_previous;
};

TEST_F(RegistryTest, ValuesOfEveryKindSurviveAReloadFromTheFile)
{
    HKEY key = Create("SOFTWARE\\Orvane\\Tarvenix2.0\\Settings\\General");
    SetString(key, "WorkDir", "/home/user/work");
    SetString(key, nullptr, "default text");
    const DWORD direction = 0xA1B2C3D4;
    ASSERT_EQ(RegSetValueEx(key, "Direction", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&direction), 4),
              ERROR_SUCCESS);
    const BYTE blob[] = {0, 1, 2, 0xFF, 0};
    ASSERT_EQ(RegSetValueEx(key, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    ASSERT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    platform::ReloadRegistryFromFile();  // what a new process sees

    HKEY reopened = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\ORVANE\\tarvenix2.0\\settings\\general", 0, KEY_READ,
                           &reopened),
              ERROR_SUCCESS);
    EXPECT_EQ(GetString(reopened, "workdir"), "/home/user/work");
    EXPECT_EQ(GetString(reopened, ""), "default text");
    DWORD value = 0, size = sizeof value, type = 0;
    ASSERT_EQ(RegQueryValueEx(reopened, "Direction", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, direction);
    BYTE read[8] = {};
    size = sizeof read;
    ASSERT_EQ(RegQueryValueEx(reopened, "Blob", nullptr, &type, read, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    ASSERT_EQ(size, sizeof blob);
    EXPECT_EQ(std::vector<BYTE>(read, read + size), std::vector<BYTE>(blob, blob + sizeof blob));
    EXPECT_EQ(RegCloseKey(reopened), ERROR_SUCCESS);
    EXPECT_TRUE(fs::exists(m_dir.Path() / "registry.dat"));
}

TEST_F(RegistryTest, SizeQueryProtocol)
{
    HKEY key = Create("Software\\Orvane\\SizeQuery");
    SetString(key, "Text", "abcdef");
    DWORD size = 0, type = 0;
    ASSERT_EQ(RegQueryValueEx(key, "Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);

    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueEx(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);

    EXPECT_EQ(RegQueryValueEx(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(small), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueEx(key, "Absent", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    // The unnamed value exists only once it is set.
    EXPECT_EQ(RegQueryValueEx(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

// Writers that give the text's length without its zero still leave a terminated string,
// so a buffer of the queried size can be used as a C string.
TEST_F(RegistryTest, StringsWrittenWithoutTheirZeroReadBackTerminated)
{
    HKEY key = Create("Software\\Orvane\\Unterminated");
    const char text[] = "New Custom List";
    ASSERT_EQ(RegSetValueEx(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text - 1),
              ERROR_SUCCESS);
    DWORD longest = 0;
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              &longest, nullptr, nullptr),
              ERROR_SUCCESS);
    std::vector<char> buffer(longest, 'x');
    DWORD size = longest;
    ASSERT_EQ(RegQueryValueEx(key, "Text", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof text);
    EXPECT_STREQ(buffer.data(), text);
    RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationOrderAndQueryInfoLengths)
{
    HKEY key = Create("Software\\Orvane\\Order");
    for (const char* name : {"beta", "Alpha", "gamma", "_under", "Delta"}) {
        HKEY sub = nullptr;
        ASSERT_EQ(RegCreateKeyEx(key, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(sub);
    }
    SetString(key, "zeta", "1");
    SetString(key, "Caption1", "a longer text");
    SetString(key, "file1", "22");

    // Subkeys in the order of their upper-cased names ("_" sorts after the letters), names
    // as they were created.
    std::vector<std::string> keys;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name;
        const LSTATUS status = RegEnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        EXPECT_EQ(length, std::string(name).size());
        keys.push_back(name);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"Alpha", "beta", "Delta", "gamma", "_under"}));

    // Values in the order they were first set, as the system's registry gives them.
    std::vector<std::string> values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD length = sizeof name, type = 0, size = 0;
        const LSTATUS status = RegEnumValue(key, i, name, &length, nullptr, &type, nullptr, &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        EXPECT_EQ(type, REG_SZ);
        values.push_back(name);
    }
    EXPECT_EQ(values, (std::vector<std::string>{"zeta", "Caption1", "file1"}));

    DWORD subKeys = 0, maxSubKey = 0, valueCount = 0, maxValueName = 0, maxValue = 0;
    ASSERT_EQ(RegQueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &valueCount,
                              &maxValueName, &maxValue, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 5u);
    EXPECT_EQ(maxSubKey, 6u);  // "_under"
    EXPECT_EQ(valueCount, 3u);
    EXPECT_EQ(maxValueName, 8u);  // "Caption1"
    EXPECT_EQ(maxValue, 14u);     // "a longer text" and its zero

    char tiny[3];
    DWORD length = sizeof tiny;
    EXPECT_EQ(RegEnumKeyEx(key, 0, tiny, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

    // All names in one call: the same, in the same order; a handle without the right to
    // enumerate gets none.
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(platform::RegEnumKeyNames(key, names), ERROR_SUCCESS);
    EXPECT_EQ(names, keys);
    HKEY valuesOnly = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\Order", 0, KEY_QUERY_VALUE, &valuesOnly),
              ERROR_SUCCESS);
    EXPECT_EQ(platform::RegEnumKeyNames(valuesOnly, names), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(names.empty());
    RegCloseKey(valuesOnly);
    RegCloseKey(key);
    EXPECT_EQ(platform::RegEnumKeyNames(key, names), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, KeysAndValuesAreDeletedAndAccessIsChecked)
{
    HKEY key = Create("Software\\Orvane\\LoadHistory\\Inner");
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\Orvane\\LoadHistory"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\Orvane\\LoadHistory\\inner"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\Orvane\\LoadHistory\\Inner"), ERROR_FILE_NOT_FOUND);

    HKEY history = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\LoadHistory", 0, KEY_READ, &history),
              ERROR_SUCCESS);
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueEx(history, "0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4),
              ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegSetValueEx(history, "0", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 2),
              ERROR_INVALID_PARAMETER);

    HKEY writable = Create("Software\\Orvane\\LoadHistory");
    SetString(writable, "0", "/data/a.ktp");
    EXPECT_EQ(GetString(history, "0"), "/data/a.ktp");
    EXPECT_EQ(RegDeleteValue(writable, "0"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(writable, "0"), ERROR_FILE_NOT_FOUND);

    // A handle to a key deleted meanwhile fails cleanly.
    EXPECT_EQ(RegDeleteKey(HKEY_CURRENT_USER, "Software\\Orvane\\LoadHistory"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueEx(history, "0", nullptr, nullptr, nullptr, nullptr), ERROR_KEY_DELETED);
    RegCloseKey(history);
    RegCloseKey(writable);

    HKEY none = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\LoadHistory", 0, KEY_READ, &none),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "\\Software", 0, KEY_READ, &none), ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(0x1234)), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, DamagedFileIsSetAsideReportedOnceAndNotFatal)
{
    HKEY key = Create("Software\\Orvane\\Damage");
    SetString(key, "Kept", "yes");
    RegCloseKey(key);
    const fs::path file = m_dir.Path() / "registry.dat";

    // Cut the file in half, as a crash while writing without a rename would.
    const auto size = fs::file_size(file);
    fs::resize_file(file, size / 2);
    std::vector<std::string> reports;
    platform::SetRegistryDamageHandler([&](const CString& message) { reports.push_back(message.str()); });
    platform::ReloadRegistryFromFile();

    HKEY reopened = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\Damage", 0, KEY_READ, &reopened),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &reopened), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("registry.dat"), std::string::npos);

    int setAside = 0;
    for (const auto& entry : fs::directory_iterator(m_dir.Path()))
        if (entry.path().filename().string().starts_with("registry.dat.damaged-")) ++setAside;
    EXPECT_EQ(setAside, 1);

    // The store works on and writes a good file again.
    HKEY fresh = Create("Software\\Orvane\\Fresh");
    SetString(fresh, "Value", "new");
    RegCloseKey(fresh);
    platform::ReloadRegistryFromFile();
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\Fresh", 0, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_EQ(GetString(again, "Value"), "new");
    RegCloseKey(again);
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(RegistryTest, GarbageAndTamperedFilesAreRejected)
{
    const fs::path file = m_dir.Path() / "registry.dat";
    HKEY key = Create("Software\\Orvane\\Tamper");
    SetString(key, "Value", "original");
    RegCloseKey(key);
    const std::string good = tarvenix::test::ReadWholeFile(file.string());
    std::string flipped = good;
    flipped[flipped.size() - 3] ^= 0x20;  // one changed byte in a value
    const std::vector<std::string> bad = {"", "garbage that is no settings file", flipped, good + "x"};
    for (const std::string& content : bad) {
        SCOPED_TRACE(content.size());
        tarvenix::test::WriteWholeFile(file.string(), content);
        int reports = 0;
        platform::SetRegistryDamageHandler([&](const CString&) { ++reports; });
        platform::ReloadRegistryFromFile();
        HKEY opened = nullptr;
        EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\Tamper", 0, KEY_READ, &opened),
                  ERROR_FILE_NOT_FOUND);
        EXPECT_EQ(reports, 1);
    }
}

// Another process (the 3D plug-in's host, a second start) may replace the file; the next
// read sees its contents without any reload call.
TEST_F(RegistryTest, FileReplacedByAnotherProcessIsReadAgain)
{
    const fs::path file = m_dir.Path() / "registry.dat";
    HKEY key = Create("Software\\Orvane\\Shared");
    SetString(key, "WorkDir", "/first");
    const fs::path copy = m_dir.Path() / "other-process.dat";
    fs::copy_file(file, copy);
    SetString(key, "WorkDir", "/second/longer");
    EXPECT_EQ(GetString(key, "WorkDir"), "/second/longer");
    fs::rename(copy, file);
    EXPECT_EQ(GetString(key, "WorkDir"), "/first");
    RegCloseKey(key);
}

// However another process changes the file (written over in place, removed, its folder
// removed and made again), the next call of this one reads what is there now.
TEST_F(RegistryTest, EveryKindOfChangeToTheFileIsSeenByTheNextCall)
{
    const fs::path file = m_dir.Path() / "registry.dat";
    HKEY key = Create("Software\\Orvane\\Shared");
    SetString(key, "WorkDir", "/first");
    RegCloseKey(key);
    const std::string first = tarvenix::test::ReadWholeFile(file.string());
    auto read = [] {
        HKEY k = nullptr;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\Shared", 0, KEY_READ, &k) != ERROR_SUCCESS)
            return std::string("<no key>");
        const std::string text = GetString(k, "WorkDir");
        RegCloseKey(k);
        return text;
    };
    auto writeOver = [&](const std::string& bytes) {
        // In place, the same inode: only the contents and the size tell.
        FILE* f = std::fopen(file.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        fs::resize_file(file, bytes.size());
    };
    {
        HKEY k = Create("Software\\Orvane\\Shared");
        SetString(k, "WorkDir", "/second/longer");
        RegCloseKey(k);
    }
    EXPECT_EQ(read(), "/second/longer");
    writeOver(first);
    EXPECT_EQ(read(), "/first") << "written over in place";
    fs::remove(file);
    EXPECT_EQ(read(), "<no key>") << "removed";
    fs::remove_all(m_dir.Path());
    EXPECT_EQ(read(), "<no key>") << "folder removed";
    fs::create_directories(m_dir.Path());
    tarvenix::test::WriteWholeFile(file.string(), first);
    EXPECT_EQ(read(), "/first") << "folder made again with the file";
    fs::remove(file);
    EXPECT_EQ(read(), "<no key>") << "removed from the folder made again";
}

TEST_F(RegistryTest, MultipleValuesAreReadAtOnceOrNotAtAll)
{
    HKEY key = Create("Software\\Orvane\\Many");
    SetString(key, "Text", "Open the scene");
    const DWORD number = 7;
    ASSERT_EQ(RegSetValueEx(key, "Type", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4),
              ERROR_SUCCESS);
    char text[] = "TEXT", type[] = "Type", missing[] = "Missing";
    VALENT values[2] = {{text, 0, 0, 0}, {type, 0, 0, 0}};
    DWORD size = 0;
    EXPECT_EQ(RegQueryMultipleValues(key, values, 2, nullptr, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 15u + 4u);
    std::vector<char> buffer(size);
    DWORD small = size - 1;
    EXPECT_EQ(RegQueryMultipleValues(key, values, 2, buffer.data(), &small), ERROR_MORE_DATA);
    EXPECT_EQ(small, size);
    ASSERT_EQ(RegQueryMultipleValues(key, values, 2, buffer.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(values[0].ve_type, REG_SZ);
    EXPECT_EQ(values[0].ve_valuelen, 15u);
    EXPECT_STREQ(reinterpret_cast<const char*>(values[0].ve_valueptr), "Open the scene");
    EXPECT_EQ(values[1].ve_type, REG_DWORD);
    ASSERT_EQ(values[1].ve_valuelen, 4u);
    DWORD read = 0;
    std::memcpy(&read, reinterpret_cast<const void*>(values[1].ve_valueptr), 4);
    EXPECT_EQ(read, number);
    // Asked for in another order, in other letter cases and twice: each finds its own value.
    char lowType[] = "tYPE", exact[] = "Text";
    VALENT shuffled[3] = {{lowType, 0, 0, 0}, {exact, 0, 0, 0}, {lowType, 0, 0, 0}};
    std::vector<char> three(64);
    DWORD threeSize = DWORD(three.size());
    ASSERT_EQ(RegQueryMultipleValues(key, shuffled, 3, three.data(), &threeSize), ERROR_SUCCESS);
    EXPECT_EQ(threeSize, 4u + 15u + 4u);
    EXPECT_EQ(shuffled[0].ve_type, REG_DWORD);
    EXPECT_EQ(shuffled[1].ve_type, REG_SZ);
    EXPECT_STREQ(reinterpret_cast<const char*>(shuffled[1].ve_valueptr), "Open the scene");
    EXPECT_EQ(shuffled[2].ve_type, REG_DWORD);
    EXPECT_EQ(shuffled[2].ve_valuelen, 4u);
    VALENT withMissing[2] = {{text, 0, 0, 0}, {missing, 0, 0, 0}};
    DWORD room = DWORD(buffer.size());
    EXPECT_EQ(RegQueryMultipleValues(key, withMissing, 2, buffer.data(), &room), ERROR_CANT_READ);
    EXPECT_EQ(withMissing[0].ve_valueptr, 0u) << "nothing read";
    RegCloseKey(key);
    EXPECT_EQ(RegQueryMultipleValues(key, values, 2, buffer.data(), &size), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, WritesLeaveNoTemporaryFilesBehind)
{
    HKEY key = Create("Software\\Orvane\\Atomic");
    for (int i = 0; i < 20; ++i) SetString(key, ("v" + std::to_string(i)).c_str(), std::string(100, 'a'));
    RegCloseKey(key);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir.Path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"registry.dat"});
}

// What a read that fails, or a file that is no settings file at all, does to the store: only
// a file read whole that fails its checks is set aside; anything else leaves the file where
// it is, and a passing error leaves the settings as they were once it has passed.
TEST_F(RegistryTest, OnlyAFileReadWholeThatFailsItsChecksIsSetAside)
{
    const fs::path file = m_dir.Path() / "registry.dat";
    struct Case {
        const char* name;
        std::function<void()> arrange;  // runs before the store reads the file again
        LSTATUS openWhileArranged;      // RegOpenKeyEx of the kept key meanwhile
        bool settingsBack;              // the kept value reads again after the arrangement
        int setAside;
        int reports;
    };
    std::unique_ptr<tarvenix::test::DescriptorsUsedUp> shortage;
    const std::vector<Case> cases = {
        {"no descriptor free", [&] { shortage = std::make_unique<tarvenix::test::DescriptorsUsedUp>(); },
         LSTATUS(ERROR_TOO_MANY_OPEN_FILES), true, 0, 1},
        {"a named pipe in its place",
         [&] {
             fs::remove(file);
             ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
         },
         LSTATUS(ERROR_FILE_NOT_FOUND), false, 0, 1},
        {"cut in half", [&] { fs::resize_file(file, fs::file_size(file) / 2); },
         LSTATUS(ERROR_FILE_NOT_FOUND), false, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& entry : fs::directory_iterator(m_dir.Path())) fs::remove(entry.path());
        platform::ReloadRegistryFromFile();
        HKEY key = Create("Software\\Orvane\\Kept");
        SetString(key, "Value", "kept");
        RegCloseKey(key);
        const std::string before = tarvenix::test::ReadWholeFile(file.string());

        std::vector<std::string> reports;
        platform::SetRegistryDamageHandler([&](const CString& message) { reports.push_back(message.str()); });
        c.arrange();
        platform::ReloadRegistryFromFile();
        HKEY opened = nullptr;
        const LSTATUS whileArranged =
            RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\Kept", 0, KEY_READ, &opened);
        const DWORD one = 1;
        HKEY root = nullptr;
        const LSTATUS written = RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\New", 0, nullptr, 0,
                                               KEY_ALL_ACCESS, nullptr, &root, nullptr);
        if (written == ERROR_SUCCESS) {
            RegSetValueEx(root, "One", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
            RegCloseKey(root);
        }
        if (whileArranged == ERROR_SUCCESS) RegCloseKey(opened);
        shortage.reset();

        EXPECT_EQ(whileArranged, c.openWhileArranged);
        if (c.settingsBack) {
            EXPECT_NE(written, ERROR_SUCCESS) << "nothing is written over a file that could not be read";
            EXPECT_EQ(tarvenix::test::ReadWholeFile(file.string()), before);
            ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Orvane\\Kept", 0, KEY_READ, &opened),
                      ERROR_SUCCESS);
            EXPECT_EQ(GetString(opened, "Value"), "kept")
                << "the settings are back once the error has passed";
            RegCloseKey(opened);
        } else {
            EXPECT_EQ(written, ERROR_SUCCESS) << "the store works on";
            EXPECT_TRUE(fs::is_regular_file(file));
        }
        int setAside = 0;
        for (const auto& entry : fs::directory_iterator(m_dir.Path()))
            if (entry.path().filename().string().starts_with("registry.dat.damaged-")) ++setAside;
        EXPECT_EQ(setAside, c.setAside);
        EXPECT_EQ(int(reports.size()), c.reports);
        platform::SetRegistryDamageHandler(nullptr);
    }
}

// The store refuses what its reader would refuse, so that one change can never make the
// next start set every setting aside.
TEST_F(RegistryTest, ChangesTheFileCouldNotHoldAreRefusedAndTheFileStaysReadable)
{
    auto path = [](int from, int to) {
        std::string p = "K" + std::to_string(from);
        for (int i = from + 1; i < to; ++i) p += "\\K" + std::to_string(i);
        return p;
    };
    auto createBelow = [](HKEY at, const std::string& subKey) {
        HKEY made = nullptr;
        const LSTATUS r =
            RegCreateKeyEx(at, subKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &made, nullptr);
        if (made) RegCloseKey(made);
        return r;
    };
    auto setNamed = [&](const std::string& name) {
        const DWORD v = 7;
        HKEY names = Create("Software\\Names");
        const LSTATUS r =
            RegSetValueEx(names, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
        RegCloseKey(names);
        return r;
    };
    const std::string longest(platform::registry::kMaxNameLength, 'n');
    const std::string tooLong = longest + "n";
    struct Case {
        const char* name;
        std::function<LSTATUS()> change;
        LSTATUS expected;
    };
    const std::vector<Case> cases = {
        {"a key 512 deep", [&] { return createBelow(HKEY_CURRENT_USER, path(0, 512)); }, ERROR_SUCCESS},
        {"a key 600 deep", [&] { return createBelow(HKEY_CURRENT_USER, path(0, 600)); }, ERROR_BAD_PATHNAME},
        {"300 more below a key 300 deep",
         [&] {
             HKEY at = Create(path(0, 300).c_str());
             const LSTATUS r = createBelow(at, path(300, 600));
             RegCloseKey(at);
             return r;
         },
         ERROR_BAD_PATHNAME},
        {"a value name of 16,383 bytes", [&] { return setNamed(longest); }, ERROR_SUCCESS},
        {"a value name of 16,384 bytes", [&] { return setNamed(tooLong); }, ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.change(), c.expected);
    }

    // Whatever was accepted reads back from the file, and nothing was set aside.
    int reports = 0;
    platform::SetRegistryDamageHandler([&](const CString&) { ++reports; });
    platform::ReloadRegistryFromFile();
    HKEY deepest = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, path(0, 512).c_str(), 0, KEY_READ, &deepest), ERROR_SUCCESS);
    RegCloseKey(deepest);
    HKEY names = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Names", 0, KEY_READ, &names), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueEx(names, longest.c_str(), nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueEx(names, tooLong.c_str(), nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    RegCloseKey(names);
    EXPECT_EQ(reports, 0);
}

// A walk over many subkeys by index, as the user action list and every settings reader make
// it, sees each key once and in order, also when keys are opened on the way or the key
// changes meanwhile.
TEST_F(RegistryTest, WalkingTwentyThousandSubkeysByIndexSeesEachOnceInOrder)
{
    constexpr int kKeys = 20000;
    // Written as one settings file: twenty thousand creates would rewrite the file each time.
    platform::registry::Tree tree;
    auto& list = tree[0x80000001u];
    auto parent = std::make_unique<platform::registry::Key>();
    parent->name = "Many";
    std::vector<std::string> expected;
    for (int i = 0; i < kKeys; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "A%05d", i);
        auto sub = std::make_unique<platform::registry::Key>();
        sub->name = name;
        sub->values.push_back({"Text", REG_SZ, {'x', 0}});
        expected.push_back(name);
        parent->subkeys.emplace(platform::registry::FoldName(name), std::move(sub));
    }
    list.subkeys.emplace("MANY", std::move(parent));
    const std::vector<BYTE> bytes = platform::registry::Serialize(tree);
    tarvenix::test::WriteWholeFile((m_dir.Path() / "registry.dat").string(),
                                   std::string(bytes.begin(), bytes.end()));
    platform::ReloadRegistryFromFile();

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Many", 0, KEY_READ, &key), ERROR_SUCCESS);
    std::vector<std::string> seen;
    for (DWORD i = 0;; ++i) {
        char name[32];
        DWORD length = sizeof name;
        const LSTATUS status = RegEnumKeyEx(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(status, ERROR_SUCCESS);
        seen.emplace_back(name, length);
        if (i % 1000 == 0) {  // a reader opens what it found
            HKEY sub = nullptr;
            ASSERT_EQ(RegOpenKeyEx(key, name, 0, KEY_READ, &sub), ERROR_SUCCESS);
            EXPECT_EQ(GetString(sub, "Text"), "x");
            RegCloseKey(sub);
        }
    }
    EXPECT_EQ(seen, expected);

    // Asked again from the middle, backwards, and after a key before the cursor went.
    char name[32];
    DWORD length = sizeof name;
    ASSERT_EQ(RegEnumKeyEx(key, 12345, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "A12345");
    length = sizeof name;
    ASSERT_EQ(RegEnumKeyEx(key, 7, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "A00007");
    ASSERT_EQ(RegDeleteKey(key, "A00003"), ERROR_SUCCESS);
    length = sizeof name;
    ASSERT_EQ(RegEnumKeyEx(key, 8, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "A00009");
    RegCloseKey(key);
}

}  // namespace
