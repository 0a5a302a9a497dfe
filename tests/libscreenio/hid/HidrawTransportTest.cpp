#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "core/UniqueFd.h"
#include "hid/HidDescriptor.h"
#include "hid/HidrawConnection.h"
#include "hid/HidrawTransport.h"

namespace screenio::hid {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr uint16_t kVendor = 0xFFF0;
constexpr unsigned kHidrawMajor = 243;

// A scratch folder removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = testing::TempDir() + "/hidraw-test-XXXXXX";
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        m_path = fs::canonical(pattern);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// One hidraw node as sysfs shows it: the HID device folder named BBBB:VVVV:PPPP.NNNN, below a
// USB interface folder (or the uhid misc device for a virtual one), with hidraw/hidrawN inside,
// and class/hidraw/hidrawN a link to that.
struct FakeNode {
    unsigned number = 0;
    std::string hidId;               // HID_ID of the device's uevent; empty: no HID_ID line
    std::string serial = "SN0001";   // HID_UNIQ
    int interfaceNumber = 0;         // -1: a virtual device without a USB ancestor
    Bytes descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0};
    bool hasClassUevent = true;
    std::string devName;             // DEVNAME; empty: hidrawN
};

class FakeSysfs {
public:
    explicit FakeSysfs(const fs::path& root) : m_root(root) {
        fs::create_directories(sysfs() / "class" / "hidraw");
        fs::create_directories(dev());
    }
    fs::path sysfs() const { return m_root / "sys"; }
    fs::path dev() const { return m_root / "dev"; }

    static std::string HidId(unsigned bus, unsigned vendor, unsigned product) {
        char text[32];
        std::snprintf(text, sizeof text, "%04X:%08X:%08X", bus, vendor, product);
        return text;
    }

    // Builds the node and returns its HID device folder.
    fs::path add(const FakeNode& node) {
        const std::string name = "hidraw" + std::to_string(node.number);
        const std::string hidName = "0003:FFF0:1234." + std::to_string(1000 + node.number);
        fs::path parent;
        if (node.interfaceNumber < 0) {
            parent = sysfs() / "devices" / "virtual" / "misc" / "uhid";
        } else {
            const fs::path usbDevice = sysfs() / "devices" / "pci0000:00" / "usb1" /
                                       ("1-" + std::to_string(node.number));
            // The USB device above the interface has no interface number of its own.
            WriteFile(usbDevice / "idVendor", "fff0\n");
            parent = usbDevice / ("1-" + std::to_string(node.number) + ":1." +
                                  std::to_string(node.interfaceNumber));
            char number[8];
            std::snprintf(number, sizeof number, "%02x\n", node.interfaceNumber);
            WriteFile(parent / "bInterfaceNumber", number);
        }
        const fs::path hid = parent / hidName;
        std::string uevent = "DRIVER=hid-generic\n";
        if (!node.hidId.empty()) uevent += "HID_ID=" + node.hidId + "\n";
        uevent += "HID_NAME=Maker Monitor\nHID_PHYS=usb-0000:00:14.0-1/input0\n";
        uevent += "HID_UNIQ=" + node.serial + "\nMODALIAS=hid:b0003g0001v0000FFF0p00001234\n";
        WriteFile(hid / "uevent", uevent);
        WriteFile(hid / "report_descriptor", Text(node.descriptor));
        const fs::path classDir = hid / "hidraw" / name;
        fs::create_directories(classDir);
        fs::create_directory_symlink("../..", classDir / "device");
        if (node.hasClassUevent) {
            const std::string devName = node.devName.empty() ? name : node.devName;
            WriteFile(classDir / "uevent", "MAJOR=" + std::to_string(kHidrawMajor) + "\nMINOR=" +
                                               std::to_string(node.number) +
                                               "\nDEVNAME=" + devName + "\n");
        }
        WriteFile(classDir / "dev", std::to_string(kHidrawMajor) + ":" +
                                        std::to_string(node.number) + "\n");
        fs::create_directory_symlink(fs::relative(classDir, sysfs() / "class" / "hidraw"),
                                     sysfs() / "class" / "hidraw" / name);
        return hid;
    }

    fs::path classDir(unsigned number) const {
        return fs::canonical(sysfs() / "class" / "hidraw" / ("hidraw" + std::to_string(number)));
    }

private:
    fs::path m_root;
};

FakeNode Ours(unsigned number, std::string serial = "SN0001", int interfaceNumber = 0) {
    FakeNode node;
    node.number = number;
    node.hidId = FakeSysfs::HidId(0x0003, kVendor, 0x1234);
    node.serial = std::move(serial);
    node.interfaceNumber = interfaceNumber;
    return node;
}

std::vector<std::string> Names(const std::vector<HidNodeInfo>& nodes) {
    std::vector<std::string> names;
    for (const HidNodeInfo& node : nodes) names.push_back(node.name);
    return names;
}

class HidrawEnumerateTest : public testing::Test {
protected:
    HidrawEnumerateTest() : m_tree(m_folder.path()) {}
    std::vector<HidNodeInfo> enumerate(uint16_t vendor = kVendor) {
        HidrawTransport transport(m_tree.sysfs().string(), m_tree.dev().string(),
                                  (m_folder.path() / "locks").string());
        return transport.enumerate(vendor);
    }
    TempFolder m_folder;
    FakeSysfs m_tree;
};

TEST_F(HidrawEnumerateTest, KeepsTheVendorsUsbNodesInNumericOrderWithTheirDetails) {
    m_tree.add(Ours(10, "SN-TEN", 1));
    FakeNode bluetooth = Ours(3);
    bluetooth.hidId = FakeSysfs::HidId(0x0005, kVendor, 0x1234);
    m_tree.add(bluetooth);
    FakeNode other = Ours(4);
    other.hidId = FakeSysfs::HidId(0x0003, 0x046D, 0xC077);
    m_tree.add(other);
    FakeNode noSerial = Ours(2, "", 0);
    noSerial.hidId = FakeSysfs::HidId(0x0003, kVendor, 0x00AB);
    noSerial.descriptor = {0x06, 0x30, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0};
    m_tree.add(noSerial);
    FakeNode virtualNode = Ours(7, "V7", -1);
    virtualNode.hasClassUevent = false;  // the node name then comes from the folder
    m_tree.add(virtualNode);
    FakeNode renamed = Ours(11, "SN-ELEVEN", 2);
    renamed.devName = "usb/hidraw11";
    m_tree.add(renamed);
    WriteFile(m_tree.sysfs() / "class" / "hidraw" / "hidrawx" / "uevent", "");

    const std::vector<HidNodeInfo> found = enumerate();
    ASSERT_EQ(Names(found), (std::vector<std::string>{"hidraw2", "hidraw7", "hidraw10",
                                                      "hidraw11"}));
    struct Expected {
        std::string node;
        uint16_t productId;
        std::string serial;
        int interfaceNumber;
        Bytes descriptor;
        unsigned minor;
    };
    const Expected expected[] = {
        {"hidraw2", 0x00AB, "", 0, noSerial.descriptor, 2},
        {"hidraw7", 0x1234, "V7", -1, virtualNode.descriptor, 7},
        {"hidraw10", 0x1234, "SN-TEN", 1, Ours(10).descriptor, 10},
        {"usb/hidraw11", 0x1234, "SN-ELEVEN", 2, Ours(11).descriptor, 11},
    };
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(found[i].name);
        EXPECT_EQ(found[i].node, (m_tree.dev() / expected[i].node).string());
        EXPECT_EQ(found[i].vendorId, kVendor);
        EXPECT_EQ(found[i].productId, expected[i].productId);
        EXPECT_EQ(found[i].serial, expected[i].serial);
        EXPECT_EQ(found[i].interfaceNumber, expected[i].interfaceNumber);
        EXPECT_EQ(found[i].descriptor, expected[i].descriptor);
        EXPECT_EQ(found[i].deviceNumber, makedev(kHidrawMajor, expected[i].minor));
    }
    // The same tree with another vendor id finds only that vendor's node.
    EXPECT_EQ(Names(enumerate(0x046D)), std::vector<std::string>{"hidraw4"});
}

TEST_F(HidrawEnumerateTest, NoHidrawClassFindsNothing) {
    fs::remove_all(m_tree.sysfs() / "class");
    EXPECT_TRUE(enumerate().empty());
    HidrawTransport missing((m_folder.path() / "nowhere").string(), "/dev", "/nowhere");
    EXPECT_TRUE(missing.enumerate(kVendor).empty());
}

// Each case spoils one node (hidraw2) next to a good one (hidraw1): only the good one is found.
struct Spoiled {
    const char* name;
    std::function<void(FakeNode&)> before;                     // changes what is built
    std::function<void(const fs::path& hid, const fs::path& cls)> after;  // damages files
};

const Spoiled kSpoiled[] = {
    {"NoDeviceUevent", nullptr, [](const fs::path& hid, const fs::path&) {
         fs::remove(hid / "uevent");
     }},
    {"NoHidId", [](FakeNode& n) { n.hidId.clear(); }, nullptr},
    {"HidIdWithTwoFields", [](FakeNode& n) { n.hidId = "0003:0000FFF0"; }, nullptr},
    {"HidIdWithFourFields", [](FakeNode& n) { n.hidId += ":00000001"; }, nullptr},
    {"HidIdNotHex", [](FakeNode& n) { n.hidId = "0003:0000FFFG:00001234"; }, nullptr},
    {"HidIdEmptyField", [](FakeNode& n) { n.hidId = "0003::00001234"; }, nullptr},
    {"VendorWiderThan16Bits", [](FakeNode& n) { n.hidId = "0003:0001FFF0:00001234"; }, nullptr},
    {"ProductWiderThan16Bits", [](FakeNode& n) { n.hidId = "0003:0000FFF0:00011234"; }, nullptr},
    {"BusBluetooth", [](FakeNode& n) { n.hidId = "0005:0000FFF0:00001234"; }, nullptr},
    {"BusI2c", [](FakeNode& n) { n.hidId = "0018:0000FFF0:00001234"; }, nullptr},
    {"NoDescriptor", nullptr, [](const fs::path& hid, const fs::path&) {
         fs::remove(hid / "report_descriptor");
     }},
    {"EmptyDescriptor", [](FakeNode& n) { n.descriptor.clear(); }, nullptr},
    {"DescriptorOverTheCap",
     [](FakeNode& n) { n.descriptor.assign(HidDescriptor::kMaxDescriptorBytes + 1, 0xA4); },
     nullptr},
    {"DevWithoutMinor", nullptr, [](const fs::path&, const fs::path& cls) {
         WriteFile(cls / "dev", "243\n");
     }},
    {"DevNotNumeric", nullptr, [](const fs::path&, const fs::path& cls) {
         WriteFile(cls / "dev", "243:x\n");
     }},
    {"DevNameLeavingDev", [](FakeNode& n) { n.devName = "../etc/passwd"; }, nullptr},
    {"DevNameAbsolute", [](FakeNode& n) { n.devName = "/etc/passwd"; }, nullptr},
    {"InterfaceNumberGarbled", nullptr, [](const fs::path& hid, const fs::path&) {
         WriteFile(hid.parent_path() / "bInterfaceNumber", "zz\n");
     }},
    {"DeviceLinkMissing", nullptr, [](const fs::path&, const fs::path& cls) {
         fs::remove(cls / "device");
     }},
};

void PrintTo(const Spoiled& spoiled, std::ostream* out) { *out << spoiled.name; }

class HidrawEnumerateSkipTest : public HidrawEnumerateTest,
                                public testing::WithParamInterface<Spoiled> {};

TEST_P(HidrawEnumerateSkipTest, LeavesOutTheNodeAndKeepsTheOthers) {
    m_tree.add(Ours(1, "GOOD"));
    FakeNode spoiled = Ours(2, "SPOILED", 1);
    if (GetParam().before) GetParam().before(spoiled);
    const fs::path hid = m_tree.add(spoiled);
    if (GetParam().after) GetParam().after(hid, m_tree.classDir(2));
    EXPECT_EQ(Names(enumerate()), std::vector<std::string>{"hidraw1"});
}

INSTANTIATE_TEST_SUITE_P(Hidraw, HidrawEnumerateSkipTest, testing::ValuesIn(kSpoiled),
                         [](const testing::TestParamInfo<Spoiled>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(HidrawEnumerateTest, ADescriptorOfExactlyTheCapIsReadWhole) {
    FakeNode node = Ours(1);
    node.descriptor.resize(HidDescriptor::kMaxDescriptorBytes);
    for (size_t i = 0; i < node.descriptor.size(); ++i) node.descriptor[i] = uint8_t(i * 7);
    m_tree.add(node);
    const std::vector<HidNodeInfo> found = enumerate();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].descriptor, node.descriptor);
}

TEST_F(HidrawEnumerateTest, TheInterfaceSearchStopsAtTheSysfsRoot) {
    // A file above the sysfs root must not be taken for a USB interface of a virtual device.
    WriteFile(m_folder.path() / "bInterfaceNumber", "05\n");
    WriteFile(m_tree.sysfs() / "bInterfaceNumber", "06\n");
    m_tree.add(Ours(1, "V1", -1));
    const std::vector<HidNodeInfo> found = enumerate();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].interfaceNumber, -1);
}

// Opens every FIFO of `fifos` that has a reader waiting, for writing, so that the reader gets
// end of file; returns whether any did.
bool ReleaseReaders(const std::vector<fs::path>& fifos) {
    bool any = false;
    for (const fs::path& fifo : fifos) {
        UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        any = any || writer.valid();
    }
    return any;
}

TEST_F(HidrawEnumerateTest, AForeignDeviceIsNotReadBeyondItsUevent) {
    m_tree.add(Ours(1, "GOOD"));
    FakeNode foreign = Ours(2, "FOREIGN", 0);
    foreign.hidId = FakeSysfs::HidId(0x0003, 0x046D, 0xC077);
    const fs::path hid = m_tree.add(foreign);
    const fs::path cls = m_tree.classDir(2);
    // Reading any of these blocks until a writer comes, so a read would hang enumerate.
    const std::vector<fs::path> fifos = {hid / "report_descriptor", cls / "uevent", cls / "dev",
                                         hid.parent_path() / "bInterfaceNumber"};
    for (const fs::path& fifo : fifos) {
        fs::remove(fifo);
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << fifo;
    }

    std::future<std::vector<HidNodeInfo>> result =
        std::async(std::launch::async, [this] { return enumerate(); });
    if (result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        while (result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready)
            ReleaseReaders(fifos);
        FAIL() << "enumerate read a file of another vendor's device";
    }
    EXPECT_EQ(Names(result.get()), std::vector<std::string>{"hidraw1"});
}

// Regular files stand in for the device nodes: flock works on them, and the device number check
// only applies to character devices.
class HidrawLockTest : public testing::Test {
protected:
    HidrawLockTest()
        : m_locks(m_folder.path() / "run" / "screenio"),
          m_transport((m_folder.path() / "sys").string(), (m_folder.path() / "dev").string(),
                      m_locks.string()) {
        fs::create_directories(m_folder.path() / "run");
        for (const char* name : {"hidraw1", "hidraw2", "hidraw3"})
            WriteFile(m_folder.path() / "dev" / name, "");
    }

    HidNodeInfo node(const std::string& name, const std::string& serial) const {
        HidNodeInfo info;
        info.node = (m_folder.path() / "dev" / name).string();
        info.name = name;
        info.vendorId = kVendor;
        info.serial = serial;
        return info;
    }

    // Opens and expects success.
    std::unique_ptr<HidConnection> take(const std::string& name, const std::string& serial) {
        int error = -1;
        std::unique_ptr<HidConnection> connection = m_transport.open(node(name, serial), &error);
        EXPECT_NE(connection, nullptr) << name << " " << serial << ": " << std::strerror(error);
        EXPECT_EQ(error, 0);
        return connection;
    }

    // Opens and expects failure with `expected`.
    void refused(const std::string& name, const std::string& serial, int expected) {
        int error = 0;
        EXPECT_EQ(m_transport.open(node(name, serial), &error), nullptr) << name << " " << serial;
        EXPECT_EQ(error, expected) << std::strerror(error);
    }

    std::set<std::string> lockFiles() const {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(m_locks, ec))
            names.insert(entry.path().filename().string());
        return names;
    }

    TempFolder m_folder;
    fs::path m_locks;
    HidrawTransport m_transport;
};

TEST_F(HidrawLockTest, ANodeIsHeldUntilItsConnectionEnds) {
    std::unique_ptr<HidConnection> first = take("hidraw1", "SN1");
    refused("hidraw1", "SN1", EBUSY);
    refused("hidraw1", "", EBUSY);  // the node's own lock, without the serial's
    // Another process holds it the same way.
    const pid_t child = ::fork();
    if (child == 0) {
        HidrawTransport other((m_folder.path() / "sys").string(), "/dev", m_locks.string());
        int error = 0;
        const bool refusedThere = !other.open(node("hidraw1", ""), &error) && error == EBUSY;
        ::_exit(refusedThere ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    first.reset();
    EXPECT_NE(take("hidraw1", "SN1"), nullptr);
}

TEST_F(HidrawLockTest, OneSerialIsHeldAcrossNodes) {
    // After a restart the monitor may come back as another node while a program still has it.
    std::unique_ptr<HidConnection> first = take("hidraw1", "SN1");
    refused("hidraw2", "SN1", EBUSY);
    // The failed open let go of hidraw2's own lock.
    std::unique_ptr<HidConnection> other = take("hidraw2", "SN2");
    other.reset();
    first.reset();
    EXPECT_NE(take("hidraw2", "SN1"), nullptr);
}

TEST_F(HidrawLockTest, AnEmptySerialTakesOnlyTheNodeLock) {
    std::unique_ptr<HidConnection> first = take("hidraw1", "");
    std::unique_ptr<HidConnection> second = take("hidraw2", "");
    EXPECT_FALSE(fs::exists(m_locks));
    refused("hidraw1", "", EBUSY);
}

TEST_F(HidrawLockTest, SerialsStayInsideTheLockFolderAndApart) {
    const fs::path run = m_locks.parent_path();
    // Each serial differs from the one before only in characters the file name must escape.
    const std::vector<std::string> serials = {"..", "../../escape", "a/b", "a%2Fb", ".",
                                              "a b", std::string("a\0b", 3), "a\nb", "\xFF"};
    std::vector<std::unique_ptr<HidConnection>> held;
    for (size_t i = 0; i < serials.size(); ++i) {
        const std::string name = "hidraw" + std::to_string(10 + i);
        WriteFile(m_folder.path() / "dev" / name, "");
        held.push_back(take(name, serials[i]));
    }
    // Each serial got a lock file of its own, all plain files directly in the lock folder.
    const std::set<std::string> files = lockFiles();
    EXPECT_EQ(files.size(), serials.size());
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(m_locks / file)));
        EXPECT_EQ(fs::status(m_locks / file).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    std::set<std::string> beside;
    for (const auto& entry : fs::directory_iterator(run))
        beside.insert(entry.path().filename().string());
    EXPECT_EQ(beside, std::set<std::string>{"screenio"});
    EXPECT_FALSE(fs::exists(m_folder.path() / "escape"));
    // And each lock still keeps its own serial.
    refused("hidraw3", "a/b", EBUSY);
}

TEST_F(HidrawLockTest, TheLockFolderIsCreatedPrivate) {
    take("hidraw1", "SN1");
    EXPECT_EQ(fs::status(m_locks).permissions() & fs::perms::all, fs::perms::owner_all);

    // A folder of ours that others may enter is made private again.
    fs::permissions(m_locks, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
    take("hidraw1", "SN1");
    EXPECT_EQ(fs::status(m_locks).permissions() & fs::perms::all, fs::perms::owner_all);
}

struct BadFolder {
    const char* name;
    // Prepares `folder` (which does not exist yet); false when this machine cannot.
    std::function<bool(const fs::path& folder, const fs::path& scratch)> make;
};

const BadFolder kBadFolders[] = {
    {"SymlinkToAFolderOfOurs", [](const fs::path& folder, const fs::path& scratch) {
         fs::create_directory(scratch / "elsewhere");
         fs::create_directory_symlink(scratch / "elsewhere", folder);
         return true;
     }},
    {"DanglingSymlink", [](const fs::path& folder, const fs::path& scratch) {
         fs::create_directory_symlink(scratch / "not-there", folder);
         return true;
     }},
    {"PlainFile", [](const fs::path& folder, const fs::path&) {
         WriteFile(folder, "");
         return true;
     }},
    {"AnotherUsersFolder", [](const fs::path& folder, const fs::path&) {
         // Only root can give a folder away; elsewhere this case is skipped.
         fs::create_directory(folder);
         const uid_t other = ::geteuid() == 65534 ? 65533 : 65534;
         return ::chown(folder.c_str(), other, other) == 0;
     }},
};

void PrintTo(const BadFolder& folder, std::ostream* out) { *out << folder.name; }

class HidrawLockFolderTest : public HidrawLockTest,
                             public testing::WithParamInterface<BadFolder> {};

TEST_P(HidrawLockFolderTest, IsRefusedAndTheNodeLetGo) {
    if (!GetParam().make(m_locks, m_folder.path())) GTEST_SKIP() << "cannot prepare the folder";
    refused("hidraw1", "SN1", ENOLCK);
    EXPECT_FALSE(fs::exists(m_folder.path() / "elsewhere" / "monitor-SN1.lock"));
    EXPECT_FALSE(fs::exists(m_folder.path() / "not-there"));
    // The node's lock went with the failed open; a monitor without a serial needs no folder.
    EXPECT_NE(take("hidraw1", ""), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Hidraw, HidrawLockFolderTest, testing::ValuesIn(kBadFolders),
                         [](const testing::TestParamInfo<BadFolder>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(HidrawLockTest, OpenErrorsAndAReusedNodeAreReported) {
    refused("missing", "SN1", ENOENT);

    // /dev/null is a character device (1:3): a node recorded with another number was reused.
    HidNodeInfo reused = node("null", "");
    reused.node = "/dev/null";
    reused.deviceNumber = makedev(kHidrawMajor, 3);
    int error = 0;
    EXPECT_EQ(m_transport.open(reused, &error), nullptr);
    EXPECT_EQ(error, ENODEV);
    reused.deviceNumber = makedev(1, 3);
    EXPECT_NE(m_transport.open(reused, &error), nullptr);
    EXPECT_EQ(error, 0);
}

TEST_F(HidrawLockTest, FeatureRequestsOnANodeThatIsNotHidrawPassTheKernelsError) {
    // The real ioctl path runs in the kernel test; here only what the system refuses is checked.
    std::unique_ptr<HidConnection> connection = take("hidraw1", "");
    ASSERT_NE(connection, nullptr);
    uint8_t data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(connection->getFeature(5, data, sizeof data), -ENOTTY);
    EXPECT_EQ(connection->setFeature(5, data, sizeof data), -ENOTTY);
    Bytes huge(HidrawConnection::kMaxDataBytes + 1);
    EXPECT_EQ(connection->getFeature(5, huge.data(), huge.size()), -EMSGSIZE);
    EXPECT_EQ(connection->setFeature(5, huge.data(), huge.size()), -EMSGSIZE);
}

class HidrawLockFolderDefaultTest : public testing::Test {
protected:
    void SetUp() override {
        const char* saved = std::getenv("XDG_RUNTIME_DIR");
        m_hadRuntime = saved != nullptr;
        if (saved) m_savedRuntime = saved;
    }
    void TearDown() override {
        if (m_hadRuntime) ::setenv("XDG_RUNTIME_DIR", m_savedRuntime.c_str(), 1);
        else ::unsetenv("XDG_RUNTIME_DIR");
    }
    bool m_hadRuntime = false;
    std::string m_savedRuntime;
    TempFolder m_folder;
};

TEST_F(HidrawLockFolderDefaultTest, UsesTheRuntimeFolderOnlyWhenItIsUsable) {
    const std::string fallback = "/tmp/screenio-" + std::to_string(::geteuid());
    const fs::path file = m_folder.path() / "file";
    WriteFile(file, "");
    struct Case {
        const char* runtime;  // null: unset
        std::string expected;
    };
    const std::string folder = m_folder.path().string();
    const Case cases[] = {
        {folder.c_str(), folder + "/screenio"},
        {nullptr, fallback},
        {"", fallback},
        {"relative/run", fallback},
        {"/nonexistent-runtime-folder", fallback},
        {file.c_str(), fallback},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.runtime ? c.runtime : "(unset)");
        if (c.runtime) ::setenv("XDG_RUNTIME_DIR", c.runtime, 1);
        else ::unsetenv("XDG_RUNTIME_DIR");
        EXPECT_EQ(HidrawTransport::DefaultLockFolder(), c.expected);
    }
}

}  // namespace
}  // namespace screenio::hid
