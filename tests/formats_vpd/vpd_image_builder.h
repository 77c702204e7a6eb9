// Builds small VPD resource lists byte by byte for tests, independently of the
// library under test (the VPD-R checksum is computed here).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zelt::test {

using VpdFields = std::vector<std::pair<std::string, std::string>>;

class VpdImageBuilder {
public:
    // Identifier string resource (0x82).
    VpdImageBuilder& id(const std::string& text) { return large(0x82, bytes_of(text)); }

    // VPD-R (0x90): the fields, then "RV" with `rv_length` data bytes (checksum byte
    // first, then zeros). The checksum is filled in by build() unless `bad_checksum`.
    VpdImageBuilder& read_only(const VpdFields& fields, uint8_t rv_length = 1, bool bad_checksum = false) {
        std::vector<uint8_t> data = field_bytes(fields);
        data.insert(data.end(), {'R', 'V', rv_length});
        rv_offset_ = bytes_.size() + 3 + data.size();
        data.resize(data.size() + rv_length, 0);
        bad_checksum_ = bad_checksum;
        return large(0x90, data);
    }

    // VPD-R without any terminator.
    VpdImageBuilder& read_only_unterminated(const VpdFields& fields) { return large(0x90, field_bytes(fields)); }

    // VPD-W (0x91): the fields, then "RW" with `rw_length` zero bytes.
    VpdImageBuilder& read_write(const VpdFields& fields, uint8_t rw_length = 0) {
        std::vector<uint8_t> data = field_bytes(fields);
        data.insert(data.end(), {'R', 'W', rw_length});
        data.resize(data.size() + rw_length, 0);
        return large(0x91, data);
    }

    VpdImageBuilder& end() { return raw({0x78}); }

    VpdImageBuilder& large(uint8_t tag, const std::vector<uint8_t>& data) {
        bytes_.push_back(tag);
        bytes_.push_back(static_cast<uint8_t>(data.size()));
        bytes_.push_back(static_cast<uint8_t>(data.size() >> 8));
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }

    VpdImageBuilder& raw(const std::vector<uint8_t>& data) {
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }

    VpdImageBuilder& zeros(size_t count) {
        bytes_.resize(bytes_.size() + count, 0);
        return *this;
    }

    std::vector<uint8_t> build() const {
        std::vector<uint8_t> out = bytes_;
        if (rv_offset_ != 0 && rv_offset_ < out.size()) {
            uint8_t sum = 0;
            for (size_t i = 0; i < rv_offset_; ++i) sum = static_cast<uint8_t>(sum + out[i]);
            out[rv_offset_] = static_cast<uint8_t>(-sum + (bad_checksum_ ? 1 : 0));
        }
        return out;
    }

    // Offset of the "RV" checksum byte (0 when there is none).
    size_t rv_offset() const { return rv_offset_; }

    static std::vector<uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

private:
    static std::vector<uint8_t> field_bytes(const VpdFields& fields) {
        std::vector<uint8_t> data;
        for (const auto& [keyword, value] : fields) {
            data.push_back(static_cast<uint8_t>(keyword[0]));
            data.push_back(static_cast<uint8_t>(keyword[1]));
            data.push_back(static_cast<uint8_t>(value.size()));
            data.insert(data.end(), value.begin(), value.end());
        }
        return data;
    }

    std::vector<uint8_t> bytes_;
    size_t rv_offset_ = 0;
    bool bad_checksum_ = false;
};

// 8-bit sum of bytes [0, end).
inline uint8_t byte_sum(const std::vector<uint8_t>& bytes, size_t end) {
    uint8_t sum = 0;
    for (size_t i = 0; i < end && i < bytes.size(); ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
    return sum;
}

}  // namespace zelt::test

namespace zelt::test {

// A heap copy of exactly `bytes.size() + extra` bytes (extra bytes zero), so that the
// address sanitizer catches any access past the end.
class ExactBuffer {
public:
    explicit ExactBuffer(const std::vector<uint8_t>& bytes, size_t extra = 0)
        : size_(bytes.size() + extra), data_(new uint8_t[size_ == 0 ? 1 : size_]()) {
        for (size_t i = 0; i < bytes.size(); ++i) data_[i] = bytes[i];
    }
    ExactBuffer(const ExactBuffer&) = delete;
    ExactBuffer& operator=(const ExactBuffer&) = delete;
    ~ExactBuffer() { delete[] data_; }

    uint8_t* data() { return size_ == 0 ? nullptr : data_; }
    size_t size() const { return size_; }
    std::vector<uint8_t> bytes() const { return {data_, data_ + size_}; }

private:
    size_t size_;
    uint8_t* data_;
};

}  // namespace zelt::test
