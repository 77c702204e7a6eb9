#include "sim/create/flash_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <tuple>
#include <vector>

#include "common/directory_entry.h"
#include "formats/crypto/crc32.h"
#include "host/huge_mapping.h"
#include "sim/flash/flash_model.h"
#include "sim/state/sim_files.h"
#include "sim/state/sim_store.h"

namespace zelt::sim {

namespace {

constexpr uint8_t kErased = 0xFF;
// An erased file grows by this much at a time.
constexpr size_t kErasedChunk = host::kHugePieceBytes;

class FlashFile {
public:
    FlashFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
    ~FlashFile() {
        if (fd_ >= 0) ::close(fd_);
    }
    FlashFile(const FlashFile&) = delete;
    FlashFile& operator=(const FlashFile&) = delete;

    bool write(uint64_t at, std::span<const uint8_t> bytes, std::string& error) {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return fail(n == 0 ? EIO : errno, error);
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // In whole 2 MiB pieces where it can: the simulated firmware maps the file, and a
    // file held in such pieces maps a piece at a time.
    bool erase(uint64_t at, uint64_t length, std::string& error) {
        const int err = host::write_repeated(fd_, at, length, kErased);
        return err == 0 || fail(err, error);
    }

    // Cuts the file to `size` bytes when it is longer.
    bool cut(uint64_t size, std::string& error) {
        struct stat st;
        if (::fstat(fd_, &st) != 0) return fail(errno, error);
        if (static_cast<uint64_t>(st.st_size) > size && ::ftruncate(fd_, static_cast<off_t>(size)) != 0)
            return fail(errno, error);
        return true;
    }

    bool close(std::string& error) {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 || fail(errno, error);
    }

private:
    bool fail(int code, std::string& error) {
        error = path_ + ": " + std::strerror(code);
        return false;
    }
    std::string path_;
    int fd_;
};

std::unique_ptr<FlashFile> open_flash_file(const std::string& path, int flags, std::string& error) {
    const int fd = open_sim_file(path, flags);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<FlashFile>(path, fd);
}

// Where each item goes and the directory area that lists them. On an erased flash the
// model places items written one after another back to back from the end of the
// directory area; a list it would treat otherwise (an item replacing an earlier one of
// the same identity, a deleted type, more items than directory slots, items that do not
// fit) is left to the model itself.
struct Layout {
    std::vector<uint8_t> directory;
    std::vector<uint32_t> location;
};

uint64_t allocation(const NvmItem& item) {
    const uint64_t length = std::max<uint64_t>({item.item_length, item.data.size(), 1});
    return (length + FlashModel::kBlock - 1) / FlashModel::kBlock * FlashModel::kBlock;
}

bool plan_in_order(uint64_t size, std::span<const NvmItem> items, Layout& out) {
    if (items.size() > FlashModel::kMaxEntries || size > UINT32_MAX) return false;
    std::set<std::tuple<uint16_t, uint16_t, uint16_t>> seen;
    const uint64_t end = size / FlashModel::kBlock * FlashModel::kBlock;
    uint64_t cursor = FlashModel::kDirectoryBytes;
    // The directory area with one block after it, the least the model takes for a flash.
    std::vector<uint8_t> area(FlashModel::kDirectoryBytes + FlashModel::kBlock, kErased);
    FlashModel model(area);
    model.format_erased();
    for (size_t i = 0; i < items.size(); ++i) {
        const NvmItem& item = items[i];
        if (item.type == 0 || !seen.emplace(item.type, item.ordinal, item.ext).second) return false;
        if (item.data.size() > UINT32_MAX || end - std::min(end, cursor) < allocation(item)) return false;
        const uint32_t data_length = static_cast<uint32_t>(item.data.size());
        const zelnvm_directory_entry_t e{item.type,
                                         item.ordinal,
                                         item.ext,
                                         item.attr,
                                         static_cast<uint32_t>(cursor),
                                         std::max(item.item_length, data_length),
                                         data_length,
                                         item.data_crc ? *item.data_crc
                                                       : crc32i(ZELT_CRC32_INIT, item.data.data(), item.data.size())};
        std::vector<uint8_t> raw(FlashModel::kEntryLength, 0);
        std::memcpy(raw.data(), &e, sizeof e);
        std::memcpy(area.data() + FlashModel::kHeaderBytes + i * FlashModel::kEntryLength, raw.data(), raw.size());
        out.location.push_back(static_cast<uint32_t>(cursor));
        cursor += allocation(item);
    }
    const uint32_t count = static_cast<uint32_t>(items.size());
    std::memcpy(area.data() + 8, &count, sizeof count);
    // The model reads the directory back as written, or the layout is not used.
    if (model.entry_count() != count) return false;
    for (uint32_t i = 0; i < count; ++i)
        if (model.entry(i).item_location != out.location[i]) return false;
    area.resize(FlashModel::kDirectoryBytes);
    out.directory = std::move(area);
    return true;
}

// The model writing the items one by one into the file, mapped.
bool write_through_model(const std::string& path, uint64_t size, std::span<const NvmItem> items,
                         const std::string& label, std::string& error) {
    if (write_erased_file(path, size, size, [] { return false; }, error) != size) return false;
    auto mapped = MappedFlash::open(path, error);
    if (!mapped) return false;
    FlashModel flash(mapped->bytes(), mapped.get());
    flash.format_erased();
    for (const NvmItem& item : items) {
        uint32_t index;
        const FlashStatus st =
            flash.write(item.type, item.ordinal, item.ext, item.attr, item.data, item.item_length, index);
        if (st != FlashStatus::ok) {
            error = label + ": item of type " + std::to_string(item.type) + " does not fit: " + flash_status_name(st);
            return false;
        }
    }
    return true;
}

}  // namespace

uint64_t write_erased_file(const std::string& path, uint64_t least, uint64_t most, const std::function<bool()>& more,
                           std::string& error) {
    auto file = open_flash_file(path, O_RDWR | O_CREAT | O_TRUNC, error);
    if (!file || !file->erase(0, least, error)) return 0;
    uint64_t size = least;
    for (; size < most && more(); size += kErasedChunk)
        if (!file->erase(size, std::min<uint64_t>(kErasedChunk, most - size), error)) return 0;
    return file->close(error) ? std::min(size, most) : 0;
}

bool write_flash_file(const std::string& path, uint64_t size, std::span<const NvmItem> items, uint64_t erased,
                      const std::string& label, std::string& error) {
    Layout layout;
    if (!plan_in_order(size, items, layout)) return write_through_model(path, size, items, label, error);
    auto file = open_flash_file(path, erased > 0 ? O_RDWR : O_RDWR | O_CREAT | O_TRUNC, error);
    if (!file || !file->cut(size, error) || !file->write(0, layout.directory, error)) return false;
    // Erased bytes from `from` up to `to`, those not erased already.
    const auto erase = [&](uint64_t from, uint64_t to) {
        from = std::max(from, erased);
        return from >= to || file->erase(from, to - from, error);
    };
    uint64_t at = layout.directory.size();
    for (size_t i = 0; i < items.size(); ++i) {
        if (!erase(at, layout.location[i]) || !file->write(layout.location[i], items[i].data, error)) return false;
        at = layout.location[i] + items[i].data.size();
    }
    return erase(at, size) && file->close(error);
}

}  // namespace zelt::sim
