// SPDX-License-Identifier: Apache-2.0
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

#include "UniqueFd.h"
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
    std::string hidId;              // HID_ID of the device's uevent; empty: no HID_ID line
    std::string serial = "SN0001";  // HID_UNIQ
    int interfaceNumber = 0;        // -1: a virtual device without a USB ancestor
    Bytes descriptor = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0xC0};
    bool hasClassUevent = true;
    std::string devName;    // DEVNAME; empty: hidrawN
    unsigned instance = 0;  // of the HID device's name; 0: 1000 + number
    unsigned usbPort = 0;   // the USB device is 1-<usbPort>; 0: the number
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
        const std::string hidName =
            "0003:FFF0:1234." + std::to_string(node.instance ? node.instance : 1000 + node.number);
        fs::path parent;
        if (node.interfaceNumber < 0) {
            parent = sysfs() / "devices" / "virtual" / "misc" / "uhid";
        } else {
            const unsigned usbPort = node.usbPort ? node.usbPort : node.number;
            const std::string port = "1-" + std::to_string(usbPort);
            const fs::path usbDevice = sysfs() / "devices" / "pci0000:00" / "usb1" / port;
            // The USB device above the interface has no interface number of its own.
            WriteFile(usbDevice / "idVendor", "fff0\n");
            parent = usbDevice / (port + ":1." + std::to_string(node.interfaceNumber));
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
            WriteFile(classDir / "uevent", "MAJOR=" + std::to_string(kHidrawMajor) +
                                               "\nMINOR=" + std::to_string(node.number) +
                                               "\nDEVNAME=" + devName + "\n");
        }
        WriteFile(classDir / "dev",
                  std::to_string(kHidrawMajor) + ":" + std::to_string(node.number) + "\n");
        fs::create_directory_symlink(fs::relative(classDir, sysfs() / "class" / "hidraw"),
                                     sysfs() / "class" / "hidraw" / name);
        const std::string number = std::to_string(kHidrawMajor) + ":" + std::to_string(node.number);
        fs::create_directories(sysfs() / "dev" / "char");
        fs::create_directory_symlink(fs::relative(classDir, sysfs() / "dev" / "char"),
                                     sysfs() / "dev" / "char" / number);
        // A plain file stands in for the device node: open and flock work on it.
        WriteFile(dev() / name, "");
        return hid;
    }

    // Takes the node away as the kernel does when its device leaves (the /dev entry stays, as
    // for a node that is still open).
    void remove(unsigned number, const fs::path& hid) {
        const std::string name = "hidraw" + std::to_string(number);
        fs::remove(sysfs() / "class" / "hidraw" / name);
        fs::remove(sysfs() / "dev" / "char" /
                   (std::to_string(kHidrawMajor) + ":" + std::to_string(number)));
        fs::remove_all(hid);
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
        HidrawTransport transport(m_tree.sysfs().string(), m_tree.dev().string());
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
    ASSERT_EQ(Names(found),
              (std::vector<std::string>{"hidraw2", "hidraw7", "hidraw10", "hidraw11"}));
    struct Expected {
        std::string node;
        uint16_t productId;
        std::string serial;
        int interfaceNumber;
        Bytes descriptor;
        unsigned minor;
        std::string usbDevice;
        std::string lockName;
    };
    const Expected expected[] = {
        {"hidraw2", 0x00AB, "", 0, noSerial.descriptor, 2, "1-2", ""},
        {"hidraw7", 0x1234, "V7", -1, virtualNode.descriptor, 7, "", "V7"},
        {"hidraw10", 0x1234, "SN-TEN", 1, Ours(10).descriptor, 10, "1-10", "SN-TEN"},
        {"usb/hidraw11", 0x1234, "SN-ELEVEN", 2, Ours(11).descriptor, 11, "1-11", "SN-ELEVEN"},
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
        EXPECT_EQ(found[i].hidDevice, "0003:FFF0:1234." + std::to_string(1000 + expected[i].minor));
        EXPECT_EQ(found[i].usbDevice, expected[i].usbDevice);
        EXPECT_EQ(found[i].lockName, expected[i].lockName);
    }
    // The same tree with another vendor id finds only that vendor's node.
    EXPECT_EQ(Names(enumerate(0x046D)), std::vector<std::string>{"hidraw4"});
}

TEST_F(HidrawEnumerateTest, NoHidrawClassFindsNothing) {
    fs::remove_all(m_tree.sysfs() / "class");
    EXPECT_TRUE(enumerate().empty());
    HidrawTransport missing((m_folder.path() / "nowhere").string(), "/dev");
    EXPECT_TRUE(missing.enumerate(kVendor).empty());
}

// Each case spoils one node (hidraw2) next to a good one (hidraw1): only the good one is found.
struct Spoiled {
    const char* name;
    std::function<void(FakeNode&)> before;                                // changes what is built
    std::function<void(const fs::path& hid, const fs::path& cls)> after;  // damages files
};

const Spoiled kSpoiled[] = {
    {"NoDeviceUevent", nullptr,
     [](const fs::path& hid, const fs::path&) { fs::remove(hid / "uevent"); }},
    {"NoHidId", [](FakeNode& n) { n.hidId.clear(); }, nullptr},
    {"HidIdWithTwoFields", [](FakeNode& n) { n.hidId = "0003:0000FFF0"; }, nullptr},
    {"HidIdWithFourFields", [](FakeNode& n) { n.hidId += ":00000001"; }, nullptr},
    {"HidIdNotHex", [](FakeNode& n) { n.hidId = "0003:0000FFFG:00001234"; }, nullptr},
    {"HidIdEmptyField", [](FakeNode& n) { n.hidId = "0003::00001234"; }, nullptr},
    {"VendorWiderThan16Bits", [](FakeNode& n) { n.hidId = "0003:0001FFF0:00001234"; }, nullptr},
    {"ProductWiderThan16Bits", [](FakeNode& n) { n.hidId = "0003:0000FFF0:00011234"; }, nullptr},
    {"BusBluetooth", [](FakeNode& n) { n.hidId = "0005:0000FFF0:00001234"; }, nullptr},
    {"BusI2c", [](FakeNode& n) { n.hidId = "0018:0000FFF0:00001234"; }, nullptr},
    {"NoDescriptor", nullptr,
     [](const fs::path& hid, const fs::path&) { fs::remove(hid / "report_descriptor"); }},
    {"EmptyDescriptor", [](FakeNode& n) { n.descriptor.clear(); }, nullptr},
    {"DescriptorOverTheCap",
     [](FakeNode& n) { n.descriptor.assign(HidDescriptor::kMaxDescriptorBytes + 1, 0xA4); },
     nullptr},
    {"DevWithoutMinor", nullptr,
     [](const fs::path&, const fs::path& cls) { WriteFile(cls / "dev", "243\n"); }},
    {"DevNotNumeric", nullptr,
     [](const fs::path&, const fs::path& cls) { WriteFile(cls / "dev", "243:x\n"); }},
    {"DevNameLeavingDev", [](FakeNode& n) { n.devName = "../etc/passwd"; }, nullptr},
    {"DevNameAbsolute", [](FakeNode& n) { n.devName = "/etc/passwd"; }, nullptr},
    {"InterfaceNumberGarbled", nullptr,
     [](const fs::path& hid, const fs::path&) {
         WriteFile(hid.parent_path() / "bInterfaceNumber", "zz\n");
     }},
    {"DeviceLinkMissing", nullptr,
     [](const fs::path&, const fs::path& cls) { fs::remove(cls / "device"); }},
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
        common::UniqueFd writer(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
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

TEST_F(HidrawEnumerateTest, ASerialSharedByTwoDevicesGetsEachDevicesPlaceInItsLockName) {
    // Two monitors whose firmware gives the same serial, and one monitor with two interfaces.
    m_tree.add(Ours(1, "000000", 0));
    m_tree.add(Ours(2, "000000", 0));
    FakeNode second = Ours(3, "SN-TWO", 0);
    second.usbPort = 5;
    m_tree.add(second);
    FakeNode secondAgain = Ours(4, "SN-TWO", 1);
    secondAgain.usbPort = 5;
    m_tree.add(secondAgain);
    FakeNode virtualOne = Ours(6, "VIRT", -1);
    m_tree.add(virtualOne);
    FakeNode virtualTwo = Ours(7, "VIRT", -1);
    m_tree.add(virtualTwo);
    std::vector<std::string> names;
    for (const HidNodeInfo& node : enumerate()) names.push_back(node.lockName);
    EXPECT_EQ(names,
              (std::vector<std::string>{"000000@1-1", "000000@1-2", "SN-TWO", "SN-TWO",
                                        "VIRT@0003:FFF0:1234.1006", "VIRT@0003:FFF0:1234.1007"}));
}

// Opening a node found by an earlier search: it must still be that device.
class HidrawIdentityTest : public HidrawEnumerateTest {
protected:
    HidrawTransport transport() const {
        return HidrawTransport(m_tree.sysfs().string(), m_tree.dev().string());
    }
    int openError(const HidNodeInfo& node) {
        int error = -1;
        std::unique_ptr<HidConnection> connection = transport().open(node, &error);
        EXPECT_EQ(connection == nullptr, error != 0);
        return error;
    }
};

TEST_F(HidrawIdentityTest, ANodeNowOfAnotherDeviceIsRefused) {
    const fs::path hid = m_tree.add(Ours(1, "SN-OLD"));
    const std::vector<HidNodeInfo> found = enumerate();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(openError(found[0]), 0) << "the device that was found opens";

    // It leaves, and the next device plugged in gets the freed node: same number, same ids,
    // same descriptor, even the same serial; only the HID device's instance differs.
    m_tree.remove(1, hid);
    FakeNode next = Ours(1, "SN-OLD");
    next.instance = 1042;
    m_tree.add(next);
    EXPECT_EQ(openError(found[0]), ENODEV);
    // A new search finds the new device, which opens.
    const std::vector<HidNodeInfo> again = enumerate();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(openError(again[0]), 0);
}

TEST_F(HidrawIdentityTest, ANodeWhoseDeviceLeftIsRefused) {
    const fs::path hid = m_tree.add(Ours(1));
    const std::vector<HidNodeInfo> found = enumerate();
    ASSERT_EQ(found.size(), 1u);
    m_tree.remove(1, hid);
    EXPECT_EQ(openError(found[0]), ENODEV);
}

TEST_F(HidrawIdentityTest, ACharacterDeviceThatIsNoHidrawNodeIsRefused) {
    // /dev/null (1:3) answers no hidraw request, whatever number discovery recorded.
    HidNodeInfo node;
    node.node = "/dev/null";
    node.vendorId = kVendor;
    for (uint64_t number : {uint64_t(makedev(1, 3)), uint64_t(makedev(kHidrawMajor, 3))}) {
        node.deviceNumber = number;
        EXPECT_EQ(openError(node), ENODEV);
    }
}

TEST_F(HidrawIdentityTest, TwoMonitorsWithOneSerialAreBothClaimed) {
    // The abstract namespace is shared with every test on the machine: the serial carries our id.
    const std::string serial = "0000-" + std::to_string(::getpid());
    m_tree.add(Ours(1, serial));
    m_tree.add(Ours(2, serial));
    const std::vector<HidNodeInfo> found = enumerate();
    ASSERT_EQ(found.size(), 2u);
    int error = -1;
    std::unique_ptr<HidConnection> first = transport().open(found[0], &error);
    EXPECT_EQ(error, 0);
    std::unique_ptr<HidConnection> second = transport().open(found[1], &error);
    EXPECT_EQ(error, 0);
    EXPECT_NE(second, nullptr);
}

// Regular files stand in for the device nodes: flock works on them. Lock names carry this
// process's id, as the abstract namespace is shared with every other test on the machine.
class HidrawLockTest : public testing::Test {
protected:
    HidrawLockTest()
        : m_tag("-" + std::to_string(::getpid())),
          m_transport((m_folder.path() / "sys").string(), (m_folder.path() / "dev").string()) {
        for (const char* name : {"hidraw1", "hidraw2", "hidraw3"})
            WriteFile(m_folder.path() / "dev" / name, "");
    }

    HidNodeInfo node(const std::string& name, const std::string& serial) const {
        HidNodeInfo info;
        info.node = (m_folder.path() / "dev" / name).string();
        info.name = name;
        info.vendorId = kVendor;
        info.serial = serial;
        info.lockName = serial.empty() ? "" : serial + m_tag;
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

    TempFolder m_folder;
    std::string m_tag;
    HidrawTransport m_transport;
};

TEST_F(HidrawLockTest, ANodeIsHeldUntilItsConnectionEnds) {
    std::unique_ptr<HidConnection> first = take("hidraw1", "SN1");
    refused("hidraw1", "SN1", EBUSY);
    refused("hidraw1", "", EBUSY);  // the node's own lock, without the monitor's
    // Another process holds it the same way.
    const pid_t child = ::fork();
    if (child == 0) {
        HidrawTransport other((m_folder.path() / "sys").string(), "/dev");
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

TEST_F(HidrawLockTest, AnotherUsersProgramIsHeldOffTheSameMonitor) {
    // The updater run with sudo and the desktop updater of the user at the seat, the monitor
    // back on a new node between them; and no folder of another user in the way.
    if (::geteuid() != 0) GTEST_SKIP() << "only root can run a process as another user";
    const uid_t user = 65534;
    const std::string squatted = "/tmp/screenio-" + std::to_string(user);
    const bool squat = !fs::exists(squatted) && fs::create_directory(squatted);
    fs::permissions(m_folder.path(),
                    fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(m_folder.path() / "dev" / "hidraw2",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read |
                        fs::perms::others_write);
    std::unique_ptr<HidConnection> mine = take("hidraw1", "SN1");
    auto otherUserOpens = [&] {
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(user) != 0 || ::setuid(user) != 0) ::_exit(100);
            ::unsetenv("XDG_RUNTIME_DIR");
            HidrawTransport theirs((m_folder.path() / "sys").string(),
                                   (m_folder.path() / "dev").string());
            int error = 0;
            theirs.open(node("hidraw2", "SN1"), &error);
            ::_exit(error);
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(otherUserOpens(), EBUSY);
    mine.reset();
    EXPECT_EQ(otherUserOpens(), 0) << "free again, whatever another user created in /tmp";
    if (squat) fs::remove(squatted);
}

TEST_F(HidrawLockTest, OneMonitorIsHeldAcrossNodes) {
    // After a restart the monitor may come back as another node while a program still has it.
    std::unique_ptr<HidConnection> first = take("hidraw1", "SN1");
    refused("hidraw2", "SN1", EBUSY);
    // The failed open let go of hidraw2's own lock.
    std::unique_ptr<HidConnection> other = take("hidraw2", "SN2");
    other.reset();
    first.reset();
    EXPECT_NE(take("hidraw2", "SN1"), nullptr);
}

TEST_F(HidrawLockTest, AMonitorWithoutLockNameTakesOnlyTheNodeLock) {
    std::unique_ptr<HidConnection> first = take("hidraw1", "");
    std::unique_ptr<HidConnection> second = take("hidraw2", "");
    refused("hidraw1", "", EBUSY);
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

TEST_F(HidrawLockTest, OpenErrorsArePassedOn) { refused("missing", "SN1", ENOENT); }

}  // namespace
}  // namespace screenio::hid
