// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "sim/SparseMemory.h"

namespace screenio::sim {

// A serial NOR flash with the standard command set, driven one transaction at a time: select,
// shift bytes in and out, deselect. Program, erase, status write, write enable and write disable
// take effect when the chip is deselected, as on real parts.
//
// Faithful where an updater can go wrong: erase sets 0xFF; programming only clears bits and
// wraps within its 256-byte page; program, erase and status write need the write-enable latch
// and clear it; the status register reports busy (bit 0) for a while after an erase, program or
// status write, and every command but a status read is ignored meanwhile, a write enable and a
// page program included.
//
// Status register as on standard parts: bit 0 busy and bit 1 write-enable latch are read-only;
// a status write stores only the block-protection bits 2-4 (BP0-BP2) and ignores the others.
// BP = 0 protects nothing; BP = n (1 to 6) protects the top 64 KiB << (n - 1) of the array (the
// whole array once that reaches its size); BP = 7 protects the whole array. A program or erase
// that reaches into the protected area is ignored (the latch is cleared). The part ships with
// BP = 7.
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
    void write(const uint8_t* bytes, size_t length);  // bytes the host shifts in
    void read(uint8_t* bytes, size_t length);         // bytes the flash shifts out
    void deselect();
    // Drops the open command without executing it (the chip loses power mid-command).
    void abort();
    // Power loss and power-up: drops any open command, clears the write-enable latch and ends a
    // running busy period. Contents and the protection (non-volatile) stay; so do injected faults.
    void powerCycle();
    bool selected() const;

    // Status register: bit 0 busy, bit 1 write enable latch, bits 2-4 block protection.
    uint8_t status() const;
    bool busy() const;
    bool writeEnabled() const;
    // Some part of the array is protected (BP not 0).
    bool writeProtected() const;
    // The first protected address: size() when nothing is protected, 0 when all is.
    uint32_t protectedFrom() const;

    uint32_t size() const;
    const SparseMemory& memory() const;
    std::vector<uint8_t> contents(uint32_t address, uint32_t length) const;
    // Direct access for set-up and persistence, bypassing the protocol. Throws std::out_of_range
    // when the bytes do not fit inside the array.
    void load(uint32_t address, const uint8_t* bytes, size_t length);
    void replaceMemory(SparseMemory memory);  // must have size()
    // The non-volatile bits of the status register (the block protection, bits 2-4).
    uint8_t protectionBits() const;
    void setProtectionBits(uint8_t bits);
    // Compatibility with the older on/off view: all (BP = 7) or nothing.
    void setWriteProtected(bool on);

    // Observers: `changed` hears of every range an executed program or erase touched;
    // `statusWritten` of every executed status write, with the byte the host sent.
    void onChange(std::function<void(uint32_t begin, uint32_t end)> changed);
    void onStatusWrite(std::function<void(uint8_t byte)> statusWritten);

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
    void executeErase(uint8_t opcode);
    void executeProgram();
    bool allowed(uint32_t end) const;  // [.., end) lies below the protected area

    uint32_t m_size;
    Timing m_timing;
    SparseMemory m_memory;
    std::function<void(uint32_t, uint32_t)> m_changed;
    std::function<void(uint8_t)> m_statusWritten;
    // Bytes shifted in since select: opcode and address as sent; from byte 4 on, a 256-byte
    // latch that later bytes overwrite modulo 256, as a program's page buffer does, so the
    // memory used stays bounded however many bytes the host sends.
    std::vector<uint8_t> m_command;
    size_t m_commandLength = 0;  // bytes shifted in since select, all of them
    size_t m_readOffset = 0;     // bytes clocked after a read's address (shifted in or out)
    bool m_ignored = false;      // the opcode arrived while busy
    bool m_selected = false;
    bool m_writeEnabled = false;
    uint8_t m_protection = 0x1C;  // BP bits as shipped: all protected
    bool m_flipNext = false;
    bool m_stuckBusy = false;
    int64_t m_busyUntilUs = 0;
};

}  // namespace screenio::sim
