// The result of an operation inside the layers, with where a failure came from.
//
// At the edges (exit status, messages, log lines) a result is still the utility's
// one integer: code() gives exactly that integer. Inside the layers a caller asks
// where the failure came from instead of guessing from the integer's value:
//   - the tool itself (a named hvxretval code),
//   - the firmware (its error_code and cmd_err, with the integer the tool reports
//     for that answer),
//   - the operating system or the driver (an errno value).
#pragma once

#include <cstdint>
#include <utility>
#include <variant>

#include "common/hvxretval.h"

namespace zelt {

enum class Origin : uint8_t {
    kNone,      // success
    kTool,      // the tool's own result code
    kFirmware,  // the firmware's error answer
    kSystem,    // an errno value from the operating system or the driver
};

class [[nodiscard]] Result {
public:
    // Success.
    constexpr Result() = default;

    static constexpr Result success() { return Result(); }
    // A tool result code; 0 is success.
    static constexpr Result tool(int32_t code) { return code == 0 ? Result() : Result(Origin::kTool, code, 0, 0, 0); }
    // The firmware's error answer. `code` is the integer the tool reports for it.
    static constexpr Result firmware(uint16_t error_code, uint8_t cmd_err, int32_t code) {
        return Result(Origin::kFirmware, code, error_code, cmd_err, 0);
    }
    // An errno value from the operating system or the driver.
    static constexpr Result system(int err) { return Result(Origin::kSystem, err, 0, 0, err); }
    // An errno value for which the tool reports its own integer `code`.
    static constexpr Result system(int err, int32_t code) { return Result(Origin::kSystem, code, 0, 0, err); }
    // An integer of the old kind whose origin is not known beyond being the tool's.
    static constexpr Result from_code(int32_t code) { return tool(code); }

    constexpr bool ok() const { return origin_ == Origin::kNone; }
    constexpr explicit operator bool() const { return ok(); }
    constexpr Origin origin() const { return origin_; }

    // The utility's integer for this result (0 on success), as exit statuses,
    // messages and logs show it.
    constexpr int32_t code() const { return code_; }
    // The firmware's answer fields (0 unless origin() is kFirmware).
    constexpr uint16_t error_code() const { return error_code_; }
    constexpr uint8_t cmd_err() const { return cmd_err_; }
    // The errno value (0 unless origin() is kSystem).
    constexpr int sys_errno() const { return errno_; }

    // True for a tool result with this code.
    constexpr bool is(hvxretval rc) const { return origin_ == Origin::kTool && code_ == rc; }
    // True for a firmware answer with this cmd_err.
    constexpr bool is_firmware_cmd_err(uint8_t cmd_err) const {
        return origin_ == Origin::kFirmware && cmd_err_ == cmd_err;
    }

    friend constexpr bool operator==(const Result&, const Result&) = default;

private:
    constexpr Result(Origin origin, int32_t code, uint16_t error_code, uint8_t cmd_err, int err)
        : origin_(origin), code_(code), error_code_(error_code), cmd_err_(cmd_err), errno_(err) {}

    Origin origin_ = Origin::kNone;
    int32_t code_ = 0;
    uint16_t error_code_ = 0;
    uint8_t cmd_err_ = 0;
    int errno_ = 0;
};

// A value, or the failure that kept it from being made.
template <class T>
class [[nodiscard]] ResultOr {
public:
    ResultOr(T value) : v_(std::move(value)) {}  // NOLINT: implicit on purpose
    ResultOr(Result failure) : v_(failure) {}    // NOLINT: implicit on purpose; must not be ok()

    bool ok() const { return std::holds_alternative<T>(v_); }
    explicit operator bool() const { return ok(); }
    // The failure, or success when a value is held.
    Result result() const { return ok() ? Result() : std::get<Result>(v_); }

    T& value() & { return std::get<T>(v_); }
    const T& value() const& { return std::get<T>(v_); }
    T&& value() && { return std::get<T>(std::move(v_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

private:
    std::variant<T, Result> v_;
};

}  // namespace zelt
