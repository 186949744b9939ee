#include "dialogs/records/IrProfileBlob.h"
#include "dialogs/records/IrProfileSteps.h"
#include "dialogs/records/IrProfileStore.h"
#include "dialogs/records/RemoterMapping.h"

#include "platform/win32/Paths.h"
#include "platform/win32/Profile.h"
#include "tests/support/fakes/FileSizeLimit.h"
#include "tests/support/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using Bytes = std::vector<std::uint8_t>;

// A learned code as the box sends it: the key number, then a pattern of the seed.
Bytes code(std::uint32_t keyNumber, int seed) {
    Bytes c(512);
    for (std::size_t i = 4; i < c.size(); ++i)
        c[i] = static_cast<std::uint8_t>(i * 7 + seed);
    for (int i = 0; i < 4; ++i)
        c[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(keyNumber >> (8 * i));
    return c;
}

void learn(RemoterMapEntry& e, std::int32_t id, int seed) {
    e.key = id;
    e.learned = 1;
    const Bytes c = code(static_cast<std::uint32_t>(id - 1042), seed);
    std::memcpy(e.code, c.data(), c.size());
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A profile of the box's IR data.
Bytes blobProfile(const std::string& name, const std::vector<Bytes>& codes) {
    Bytes b{static_cast<std::uint8_t>(name.size())};
    for (char c : name)
        b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(static_cast<std::uint8_t>(codes.size()));
    for (const Bytes& c : codes)
        b = b + c;
    return b;
}

// The archive string of an ASCII text.
Bytes archiveString(const std::string& text) {
    Bytes b{0xFF, 0xFE, 0xFF, static_cast<std::uint8_t>(text.size())};
    for (char c : text) {
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(0);
    }
    return b;
}

class IrProfilesTest : public ::testing::Test {
protected:
    std::wstring path(const std::string& relative) { return platform::BackslashPath(temp / relative); }
    Bytes file(const std::string& relative) {
        const std::string s = temp.read(relative);
        return Bytes(s.begin(), s.end());
    }
    TempFolder temp;
};

TEST_F(IrProfilesTest, AKeyMapSavedAsAProfileLoadsBackWithEveryKey) {
    KQ_UI_RemoterMapping map;
    for (int i = 0; i < 36; ++i) {
        RemoterMapEntry& e = map.keys[1043 + i];
        learn(e, 1043 + i, i);
        e.learned = i % 3 != 0; // codes of keys not learned are kept too
    }
    KQ_UI_IRProfileStore store;
    ASSERT_EQ(map.SaveKeyMapAsProfile(store, L"TV", path("box.rpl")), 1);
    KQ_UI_IRProfileStore read;
    ASSERT_EQ(read.ReadProfileArchive(path("box.rpl")), 1);
    KQ_UI_RemoterMapping loaded;
    ASSERT_EQ(loaded.LoadProfileToKeyMap(read, L"TV"), 1);
    EXPECT_EQ(loaded.name, L"TV");
    EXPECT_EQ(loaded.keys, map.keys);
    EXPECT_EQ(loaded.LoadProfileToKeyMap(read, L"Radio"), 0);
    EXPECT_EQ(loaded.name, L"TV");

    // A profile made and never saved loads with nothing learned.
    read.AddProfile(L"New");
    ASSERT_EQ(loaded.LoadProfileToKeyMap(read, L"New"), 1);
    EXPECT_EQ(loaded.keys, KQ_UI_RemoterMapping().keys);
    EXPECT_EQ(loaded.name, L"New");
}

TEST_F(IrProfilesTest, AMissingFileIsCreatedWithTheHeaderAndTheEmptyFlagOnly) {
    KQ_UI_IRProfileStore store;
    store.AddProfile(L"Left over");
    ASSERT_EQ(store.OpenProfileArchive(L"BOX1", path("BOX1.rpl")), 1);
    EXPECT_TRUE(store.profiles.empty());
    EXPECT_EQ(store.path, path("BOX1.rpl"));
    EXPECT_EQ(file("BOX1.rpl"), archiveString("BOX1") + Bytes({1, 0, 0, 0}));
    KQ_UI_IRProfileStore read;
    read.AddProfile(L"x");
    EXPECT_EQ(read.OpenProfileArchive(L"other", path("BOX1.rpl")), 1);
    EXPECT_TRUE(read.profiles.empty());
    EXPECT_EQ(read.header, L"BOX1");
    EXPECT_EQ(read.empty, 1);

    // Without a login folder nothing is written and nothing of the box before stays.
    read.AddProfile(L"x");
    EXPECT_EQ(read.OpenProfileArchive(L"BOX2", L""), 0);
    EXPECT_TRUE(read.profiles.empty());
    KQ_UI_RemoterMapping map;
    EXPECT_EQ(map.SaveKeyMapAsProfile(read, L"x", L""), 0);
    EXPECT_TRUE(read.profiles.empty());
    EXPECT_EQ(read.WriteProfileArchive(L""), 0);
}

TEST_F(IrProfilesTest, DamagedFilesKeepOnlyTheProfilesReadWhole) {
    KQ_UI_IRProfileStore store;
    store.header = L"BOX";
    for (const wchar_t* name : {L"A", L"B"}) {
        store.AddProfile(name);
        learn(store.profiles[name].entries[4], 1047, 9);
    }
    const Bytes whole = store.Bytes();
    const std::size_t countAt = archiveString("BOX").size() + 4;
    const auto withCount = [&](std::uint32_t count) {
        Bytes b = whole;
        std::memcpy(b.data() + countAt, &count, 4);
        return b;
    };
    Bytes longName(whole.begin(), whole.begin() + static_cast<long>(countAt + 4)); // the first name's
    longName = longName + Bytes{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}; // length
    longName = longName + Bytes(whole.begin() + static_cast<long>(countAt + 4 + 6), whole.end());
    struct Case {
        const char* name;
        Bytes bytes;
        int result;
        std::size_t profiles;
    };
    const Case cases[] = {
        {"whole", whole, 1, 2},
        {"cut in the second profile's codes", Bytes(whole.begin(), whole.end() - 100), 0, 1},
        {"cut in the header", Bytes(whole.begin(), whole.begin() + 5), 0, 0},
        {"count past the file", withCount(0x7FFFFFFF), 0, 2},
        {"negative count", withCount(0xFFFFFFFF), 0, 0},
        {"name longer than the file", longName, 0, 0},
    };
    for (const Case& c : cases) {
        KQ_UI_IRProfileStore read;
        read.AddProfile(L"before");
        EXPECT_EQ(read.Read(c.bytes), c.result) << c.name;
        EXPECT_EQ(read.profiles.size(), c.profiles) << c.name;
        if (c.profiles > 0) {
            EXPECT_EQ(read.profiles.begin()->second, store.profiles[L"A"]) << c.name;
        }
    }
    KQ_UI_IRProfileStore missing;
    missing.AddProfile(L"before");
    EXPECT_EQ(missing.ReadProfileArchive(path("none.rpl")), 0);
    EXPECT_TRUE(missing.profiles.empty());
}

TEST_F(IrProfilesTest, AWriteOnAFullDiskKeepsTheLastGoodFile) {
    KQ_UI_IRProfileStore store;
    store.header = L"BOX";
    store.AddProfile(L"A");
    ASSERT_EQ(store.WriteProfileArchive(path("box.rpl")), 1);
    const Bytes good = file("box.rpl");
    store.AddProfile(L"B");
    {
        FileSizeLimit full(good.size() + 100);
        EXPECT_EQ(store.WriteProfileArchive(path("box.rpl")), 0);
    }
    EXPECT_EQ(file("box.rpl"), good);
}

TEST(IrProfileStoreTest, NamesAreCaseSensitiveAndKeptInCodeOrder) {
    KQ_UI_IRProfileStore store;
    for (const wchar_t* name : {L"tv", L"TV", L"Tv", L"", L"TV"})
        EXPECT_EQ(store.AddProfile(name), 1);
    EXPECT_EQ(store.ListProfileNames(), (std::list<std::wstring>{L"TV", L"Tv", L"tv"}));
    EXPECT_EQ(store.HasProfile(L"tV"), 0);
    store.RemoveProfile(L"tv");
    store.RemoveProfile(L"nothing");
    EXPECT_EQ(store.ListProfileNames(), (std::list<std::wstring>{L"TV", L"Tv"}));
    KQ_UI_IREntry out;
    EXPECT_EQ(store.GetProfile(L"tv", out), 0);
    EXPECT_EQ(store.GetProfile(L"Tv", out), 1);
    EXPECT_EQ(out.name, L"Tv");
}

TEST(IrProfileBlobTest, TheUploadHoldsTheNamedProfilesAndTheirLearnedCodes) {
    KQ_UI_IRProfileStore store;
    store.AddProfile(L"A");
    store.AddProfile(L"B\u00e9");
    learn(store.profiles[L"A"].entries[0], 1043, 1);
    learn(store.profiles[L"A"].entries[5], 1048, 6);
    store.profiles[L"A"].entries[7].key = 1050; // known, not learned: not sent
    KQ_UI_IREntry unnamed;                      // a profile of an empty name, as a file may hold
    learn(unnamed.entries[2], 1045, 3);
    store.profiles.emplace(L"", unnamed);
    IrProfileBlob blob;
    ASSERT_EQ(BuildProfileUploadBlob(store, blob), IrBlobResult::Built);
    const Bytes expected = Bytes{10, 2, 1, 'A', 2} + code(1, 1) + code(6, 6) + Bytes{2, 'B', 0xE9, 0};
    ASSERT_EQ(blob.written, static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(Bytes(blob.start.get(), blob.start.get() + blob.written), expected);
    EXPECT_EQ(blob.write, blob.start.get() + blob.written);
    FreeProfileUploadBlob(blob);
    EXPECT_EQ(blob.start, nullptr);
    EXPECT_EQ(blob.written, 0);
}

TEST(IrProfileBlobTest, AStoreThatDoesNotFitTheBufferIsRefusedBeforeAByteIsWritten) {
    // 28 fully learned profiles with 16-byte names and one of 15 keys with a 4-byte name fill the buffer
    // exactly; a fifth byte of that name is one too many.
    KQ_UI_IRProfileStore store;
    for (int p = 0; p < 28; ++p) {
        const std::wstring name = L"Full profile #" + std::to_wstring(10 + p);
        store.AddProfile(name);
        for (int i = 0; i < 36; ++i)
            learn(store.profiles[name].entries[static_cast<std::size_t>(i)], 1043 + i, p);
    }
    store.AddProfile(L"Last");
    for (int i = 0; i < 15; ++i)
        learn(store.profiles[L"Last"].entries[static_cast<std::size_t>(i)], 1043 + i, 0);
    IrProfileBlob blob;
    ASSERT_EQ(BuildProfileUploadBlob(store, blob), IrBlobResult::Built);
    EXPECT_EQ(blob.written, 0x80000);
    EXPECT_EQ(blob.start[1], 29);

    KQ_UI_IREntry last = store.profiles[L"Last"];
    store.RemoveProfile(L"Last");
    last.name = L"Last!";
    store.profiles.emplace(last.name, last);
    EXPECT_EQ(BuildProfileUploadBlob(store, blob), IrBlobResult::TooLarge);
    EXPECT_EQ(blob.start, nullptr);
    EXPECT_EQ(blob.written, 0);

    KQ_UI_IRProfileStore many;
    for (int p = 0; p < 256; ++p)
        many.AddProfile(L"P" + std::to_wstring(p));
    EXPECT_EQ(BuildProfileUploadBlob(many, blob), IrBlobResult::TooManyProfiles);
    many.RemoveProfile(L"P0");
    EXPECT_EQ(BuildProfileUploadBlob(many, blob), IrBlobResult::Built);
    EXPECT_EQ(blob.start[1], 255);

    KQ_UI_IRProfileStore named;
    named.AddProfile(std::wstring(256, L'n'));
    EXPECT_EQ(BuildProfileUploadBlob(named, blob), IrBlobResult::NameTooLong);
}

TEST_F(IrProfilesTest, TheBoxsDataIsTakenProfileByProfileWithinItsLength) {
    WritePrivateProfileStringW(L"Profile Setting", L"Profile", L"Other", path("history.ini").c_str());
    KQ_UI_IRProfileStore store;
    ASSERT_EQ(store.OpenProfileArchive(L"BOX", path("BOX.rpl")), 1);
    store.AddProfile(L"Dup");
    learn(store.profiles[L"Dup"].entries[9], 1052, 0); // replaced by the box's
    store.AddProfile(L"dup");                          // another profile
    learn(store.profiles[L"dup"].entries[9], 1052, 0);
    const Bytes block = Bytes{10, 5} + blobProfile("Dup", {code(1, 1), code(0, 2)}) +
                        blobProfile("Dup", {code(37, 3), code(2, 4)}) + blobProfile("", {code(3, 5)}) +
                        blobProfile("Other", {code(36, 6)}) + blobProfile("Cut", {code(4, 7), code(5, 8)});
    const std::size_t length = block.size() - 1; // the last code is a byte short
    KQ_UI_RemoterMapping map;
    learn(map.keys[1060], 1060, 0);

    const IrDataReceived received = ReceiveBoxIrData(store, map, block.data(), length, path("history.ini"));
    EXPECT_EQ(received.written, 1);
    EXPECT_TRUE(received.refill);
    EXPECT_EQ(received.names, (std::vector<std::wstring>{L"Dup", L"Other", L"dup"}));
    EXPECT_EQ(received.selected, L"Other");

    KQ_UI_IREntry dup;
    dup.name = L"Dup";
    learn(dup.entries[1], 1044, 4); // the second profile of the name, whole
    EXPECT_EQ(store.profiles[L"Dup"], dup);
    EXPECT_EQ(store.profiles[L"dup"].entries[9].learned, 1);
    EXPECT_EQ(store.HasProfile(L""), 0);
    EXPECT_EQ(store.HasProfile(L"Cut"), 0);
    KQ_UI_RemoterMapping expected;
    learn(expected.keys[1078], 1078, 6);
    EXPECT_EQ(map.keys, expected.keys);
    EXPECT_EQ(map.name, L"Other");
    KQ_UI_IRProfileStore written;
    ASSERT_EQ(written.ReadProfileArchive(path("BOX.rpl")), 1);
    EXPECT_EQ(written.profiles, store.profiles);

    const IrDataReceived nothing = ReceiveBoxIrData(store, map, block.data(), 1, L"");
    EXPECT_TRUE(nothing.refill); // the store still holds its profiles
    EXPECT_EQ(nothing.selected, L"");
    EXPECT_EQ(map.keys, KQ_UI_RemoterMapping().keys);
}

TEST_F(IrProfilesTest, TwoLoginsToTwoBoxesKeepEachBoxsProfilesToItself) {
    std::filesystem::create_directories(temp / "UserData/BOXA");
    std::filesystem::create_directories(temp / "UserData/BOXB");
    const std::wstring rplA = path("UserData/BOXA/BOXA.rpl"), rplB = path("UserData/BOXB/BOXB.rpl");
    const std::wstring historyA = path("UserData/BOXA/history.ini"),
                       historyB = path("UserData/BOXB/history.ini");
    KQ_UI_IRProfileStore boxA;
    boxA.header = L"BOXA";
    boxA.AddProfile(L"TV");
    learn(boxA.profiles[L"TV"].entries[3], 1046, 5);
    ASSERT_EQ(boxA.WriteProfileArchive(rplA), 1);
    const Bytes fileA = file("UserData/BOXA/BOXA.rpl");
    WritePrivateProfileStringW(L"Profile Setting", L"Profile", L"TV", historyA.c_str());
    temp.write("UserData/BOXB/history.ini", "[Last Channel]\r\nchannel=4\r\n");

    KQ_UI_IRProfileStore store;
    KQ_UI_RemoterMapping map;
    ASSERT_EQ(OpenLoginProfiles(store, map, L"BOXA", rplA, historyA), 1);
    EXPECT_EQ(store.ListProfileNames(), std::list<std::wstring>{L"TV"});
    EXPECT_EQ(map.name, L"TV");
    EXPECT_EQ(map.keys[1046].learned, 1);

    ASSERT_EQ(OpenLoginProfiles(store, map, L"BOXB", rplB, historyB), 1);
    EXPECT_TRUE(store.profiles.empty());
    EXPECT_EQ(store.header, L"BOXB");
    EXPECT_EQ(map.name, L"");
    EXPECT_EQ(map.keys, KQ_UI_RemoterMapping().keys);
    EXPECT_EQ(file("UserData/BOXB/BOXB.rpl"), archiveString("BOXB") + Bytes({1, 0, 0, 0}));
    ASSERT_EQ(map.SaveKeyMapAsProfile(store, L"Radio", rplB), 1);
    EXPECT_EQ(file("UserData/BOXA/BOXA.rpl"), fileA);

    // Back at the first box: its own profiles, and the second box's not among them.
    ASSERT_EQ(OpenLoginProfiles(store, map, L"BOXA", rplA, historyA), 1);
    EXPECT_EQ(store.ListProfileNames(), std::list<std::wstring>{L"TV"});
    EXPECT_EQ(map.keys[1046].learned, 1);
}

} // namespace
