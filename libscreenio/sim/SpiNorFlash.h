#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace screenio::sim {

// A serial NOR flash with the standard command set, driven one transaction at a time: select,
// shift bytes in and out, deselect. Program, erase, status write, write enable and write disable
// take effect when the chip is deselected, as on real parts.
//
// Faithful where an updater can go wrong: erase sets 0xFF; programming only clears bits and
// wraps within its 256-byte page; program, erase and status write need the write-enable latch
// and clear it; the whole array is protected against program and erase while the software
// write protection is on; the status register reports busy (bit 0) for a while after an erase,
// program or status write, and other commands are ignored meanwhile.
//
// Rules where parts differ, chosen here:
// - A command executes only with its exact length (opcode, 3 address bytes, 1 status byte, at
//   least one data byte for a program); any other length is ignored and the latch stays as is.
// - Program, erase and read whose address is at or beyond size() are ignored (nothing changes,
//   the latch stays; a read shifts out 0xFF, as an undriven line). A read that starts inside the
//   array and runs past its end wraps to address 0, as real parts do.
// - Busy is checked when the opcode arrives and again when the command would execute; a command
//   that met busy at either point is ignored. A read started while busy shifts out 0xFF.
// - While selected, every byte clocked after a read's address shifts out one byte, whether the
//   host writes it (a dummy byte) or reads it.
// - select() while already selected drops the open command without executing it.
class SpiNorFlash {
public:
    struct Timing {
        uint32_t pageProgramUs = 700;
        uint32_t sectorEraseUs = 45000;
        uint32_t blockEraseUs = 150000;
        uint32_t statusWriteUs = 5000;
    };

    SpiNorFlash(uint32_t size, Timing timing);

    void select();
    void write(const uint8_t* bytes, size_t length); // bytes the host shifts in
    void read(uint8_t* bytes, size_t length);        // bytes the flash shifts out
    void deselect();
    // Drops the open command without executing it (the chip loses power mid-command).
    void abort();
    // Power loss and power-up: drops any open command, clears the write-enable latch and ends a
    // running busy period. Contents and the protection (non-volatile) stay; so do injected faults.
    void powerCycle();
    bool selected() const;

    // Status register: bit 0 busy, bit 1 write enable latch, bits 2-4 set while protected.
    uint8_t status() const;
    bool busy() const;
    bool writeEnabled() const;
    bool writeProtected() const;

    uint32_t size() const;
    const std::vector<uint8_t>& contents() const;
    // Direct access for set-up and persistence, bypassing the protocol. Throws std::out_of_range
    // when the bytes do not fit inside the array.
    void load(uint32_t address, const uint8_t* bytes, size_t length);
    void setWriteProtected(bool on);

    // Fault injection: the next page program that executes (write enabled, not protected, in
    // range) flips bit 0 of its first data byte (the one for its start address) before
    // programming.
    void flipBitOnNextProgram();
    // Fault injection: stays busy until cleared.
    void setStuckBusy(bool on);

    static constexpr uint32_t kPageSize = 256;
    static constexpr uint32_t kSectorSize = 0x1000;
    static constexpr uint32_t kBlockSize = 0x10000;

private:
    void execute();
    bool addressComplete() const;
    uint32_t commandAddress() const;
    void startBusy(uint32_t microseconds);

    uint32_t m_size;
    Timing m_timing;
    std::vector<uint8_t> m_memory;
    // Bytes shifted in since select: opcode and address as sent; from byte 4 on, a 256-byte
    // latch that later bytes overwrite modulo 256, as a program's page buffer does, so the
    // memory used stays bounded however many bytes the host sends.
    std::vector<uint8_t> m_command;
    size_t m_commandLength = 0; // bytes shifted in since select, all of them
    size_t m_readOffset = 0;    // bytes clocked after a read's address (shifted in or out)
    bool m_ignored = false;     // the opcode arrived while busy
    bool m_selected = false;
    bool m_writeEnabled = false;
    bool m_protected = true;
    bool m_flipNext = false;
    bool m_stuckBusy = false;
    int64_t m_busyUntilUs = 0;
};

}  // namespace screenio::sim
