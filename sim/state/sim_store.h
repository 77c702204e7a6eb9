// The files of a simulated host directory and exclusive access to them.
//
// Layout of a simulated host directory <root>:
//   <root>/sim/description.json   adapters, functions, scheduled faults
//   <root>/sim/state.json         firmware run-time state and the virtual clock
//   <root>/sim/<adapter>.flash    flash image of each adapter
//   <root>/sim/requests.log       what the simulated drivers received, one JSON object a line
//   <root>/sim/lock               the lock file: the generation token, then the virtual clock
//   <root>/sys, <root>/proc, <root>/dev, <root>/lib/firmware   the host's file tree
//
// Every process that reads or changes the state holds an exclusive flock on the lock
// file for the whole read-modify-write, so concurrent commands never interleave.
//
// The virtual clock's offset lives in the lock file, beside the token: a sleep moves it
// with one write under the lock instead of rewriting the state file (a poll loop sleeps
// thousands of times). The state file's copy of the offset is only read for a host
// whose lock file does not hold one yet.
//
// A process keeps the description and state it last read or wrote (and its flash
// mappings) in memory. The lock file holds a generation token that every saving
// session replaces (before it writes the files) with a fresh random value; a session
// reuses the kept copy only when the token and the identity of both files (device,
// inode, size, modification time) are what they were when the copy was taken, so a
// change made by any other process is always read again.
//
// A process also keeps the lock file and the request log open between sessions (the
// simulated firmware takes the lock for every request, and a command sends hundreds):
// a session uses the kept descriptor only while the name still leads to the file it
// was opened on, and never while another session of the process holds it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "sim/flash/flash_model.h"
#include "sim/state/description.h"
#include "sim/state/runtime_state.h"

namespace zelt::sim {

struct SimPaths {
    std::string root;
    std::string dir() const { return root + "/sim"; }
    std::string description() const { return dir() + "/description.json"; }
    std::string state() const { return dir() + "/state.json"; }
    std::string lock() const { return dir() + "/lock"; }
    std::string request_log() const { return dir() + "/requests.log"; }
    std::string flash(const std::string& adapter) const { return dir() + "/" + adapter + ".flash"; }
};

// A flash image file mapped into memory (shared, so changes reach the file). Large
// writes may go through the file instead (the mapping sees them at once).
class MappedFlash : public FlashBacking {
public:
    static std::unique_ptr<MappedFlash> open(const std::string& path, std::string& error);
    // Opens the file and maps it only when `path` is no longer the file `mapped` holds.
    static std::shared_ptr<MappedFlash> reuse_or_open(const std::string& path, std::shared_ptr<MappedFlash> mapped,
                                                      std::string& error);
    ~MappedFlash() override;
    MappedFlash(const MappedFlash&) = delete;
    MappedFlash& operator=(const MappedFlash&) = delete;
    std::span<uint8_t> bytes() { return {base_, size_}; }
    bool write(uint64_t offset, std::span<const uint8_t> data) override;
    // The generation token of the host when the mapping was last found to be the file
    // at its path (0: never).
    uint64_t checked_token() const { return checked_token_; }
    void set_checked_token(uint64_t token) { checked_token_ = token; }

private:
    MappedFlash(int fd, uint8_t* base, size_t size) : fd_(fd), base_(base), size_(size) {}
    uint64_t checked_token_ = 0;
    int fd_;
    uint8_t* base_;
    size_t size_;
    uint64_t device_ = 0;  // the mapped file
    uint64_t inode_ = 0;
};

struct KeptFile;

// An exclusive flock held for the lifetime of the object.
class FileLock {
public:
    static std::unique_ptr<FileLock> acquire(const std::string& path, std::string& error);
    // Locks a file that is already open (kept for later sessions).
    static std::unique_ptr<FileLock> acquire(std::shared_ptr<KeptFile> file, const std::string& path,
                                             std::string& error);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // The generation token kept in the lock file (0 when none was written yet).
    uint64_t read_token() const;
    bool write_token(uint64_t token, std::string& error);
    // The virtual clock's offset kept in the lock file; false when it holds none yet.
    bool read_clock(int64_t& offset_us) const;
    bool write_clock(int64_t offset_us, std::string& error);

    // The open lock file, for keeping it after the lock is let go.
    const std::shared_ptr<KeptFile>& file() const { return file_; }

private:
    explicit FileLock(std::shared_ptr<KeptFile> file);
    void read_header() const;
    std::shared_ptr<KeptFile> file_;
    int fd_;
    mutable bool header_read_ = false;
    mutable bool clock_read_ = false;
    mutable uint64_t token_ = 0;
    mutable int64_t clock_ = 0;
};

// One locked session on a simulated host: the description and state loaded, flash
// images mapped on first use. `save` writes the state when it differs from what was
// loaded (and the description when it was marked changed) atomically; a session
// dropped without `save` changes nothing but the flash bytes it touched.
//
// A session shares what the files hold with the process's kept copy and copies a
// part only when it asks for it writable: host() copies the description, state() the
// whole state, adapter_state() that one adapter's state. Most requests read the
// description and change at most one adapter, so they copy little.
class SimSession {
public:
    static std::unique_ptr<SimSession> open(const std::string& root, std::string& error);

    const SimPaths& paths() const { return paths_; }
    // The description, read only (no copy).
    const HostDesc& host_view() const { return own_host_ ? *own_host_ : *shared_host_; }
    // The description, writable (copied on first use).
    HostDesc& host();
    // The whole state, writable (copied on first use; adapters already taken by
    // adapter_state() keep their place).
    RuntimeState& state();
    // One adapter's state, writable; only that adapter is copied.
    AdapterState& adapter_state(const std::string& adapter);
    // The adapter's flash bytes; empty span when the image is missing.
    std::span<uint8_t> flash(const std::string& adapter);
    // The model of the adapter's flash, writing large runs through the image file.
    FlashModel flash_model(const std::string& adapter);

    void description_changed() { description_dirty_ = true; }
    bool save(std::string& error);

    // Virtual time in microseconds since the epoch.
    uint64_t now_us() const;

private:
    SimSession() = default;
    bool load(std::string& error);
    bool state_changed() const;
    SimPaths paths_;
    std::unique_ptr<FileLock> lock_;
    std::shared_ptr<const HostDesc> shared_host_;        // the description as the files hold it
    std::unique_ptr<HostDesc> own_host_;                 // this session's copy, once asked for
    std::shared_ptr<const RuntimeState> loaded_state_;   // the state as the files hold it
    std::unique_ptr<RuntimeState> own_state_;            // this session's copy, once asked for
    std::map<std::string, AdapterState> own_adapters_;   // adapters copied while there is no own_state_
    bool description_dirty_ = false;
    bool clock_in_lock_file_ = false;  // the lock file held the clock when the session opened
    int64_t clock_us_ = 0;             // the virtual clock's offset while there is no own_state_
    std::map<std::string, std::shared_ptr<MappedFlash>> flash_;
};

// Moves the host's virtual clock `delta_us` forward under the host's lock and sets
// `offset_us` to its new offset. False with `error` when the host cannot be locked or
// the clock cannot be written.
bool advance_clock(const std::string& root, int64_t delta_us, int64_t& offset_us, std::string& error);

// Runs `read` on the host's description, for requests that only look at it: the copy
// this process holds while the description file is still the one it was read from,
// else the description loaded under the host's lock. False with `error` when the host
// cannot be locked or read.
bool read_host_description(const std::string& root, const std::function<void(const HostDesc&)>& read,
                           std::string& error);

// The host's description as its file holds it, read without taking the lock (the file
// is only ever replaced whole); null with `error` when it cannot be read or parsed.
std::shared_ptr<const HostDesc> read_description_file(const std::string& root, std::string& error);

// The virtual clock offset of a host, read without taking the lock: from the lock file
// (read until two reads agree, so a write in progress is never taken half done), else
// from the state file (only ever replaced whole); 0 when neither holds one.
int64_t read_clock_offset(const std::string& root);

// Appends `text` to the host's request log, through the descriptor the process keeps
// for it while the name still leads to that file.
bool append_request_text(const SimPaths& paths, std::string_view text);

// Writes a file through a temporary name and a rename, so readers never see half of it.
bool write_file_atomic(const std::string& path, const std::string& data, std::string& error);
bool read_whole_file(const std::string& path, std::string& data);

// Wall clock in microseconds.
uint64_t wall_clock_us();

}  // namespace zelt::sim
