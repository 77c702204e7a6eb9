// Package files in the command layer: reading a package file, writing one, telling
// configuration packages apart, and the devid, pkgver, verify, view and list commands
// on package files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "cli/parsed_command.h"
#include "common/byte_buffer.h"
#include "cli/report/report.h"
#include "host/host.h"
#include "package/package_writer.h"

namespace zelt::cli {

// Reads a package file whole through `host`. FILE_OPEN_FAILURE when it cannot be
// opened, and also (with a message naming the file) when it is not a regular file or
// is larger than any package can be; INVALID_LENGTH when it is empty, MALLOC_FAILURE,
// FILE_READ_FAILURE on a short read.
int32_t zelpkgReadFile(zelt::host::Host& host, const char* file, zelt::ByteBuffer& data);

// Reads a package file. A file behind the firmware update package header is handed on
// as the package it wraps, so the bytes always begin with "PKG0". Results as
// zelpkgReadFile, then INVALID_FILE_HEADER or INVALID_CHECKSUM for a bad wrapper and
// the header checks of the package; on any failure `data` is left empty.
int32_t zelpkgReadPackage(zelt::host::Host& host, const char* file, zelt::ByteBuffer& data);

// 1 when the package is a configuration package for a device of `device_type` (with
// the run's -recovery and -force), else 0.
int is_cfg_pkg(int device_type, std::span<const uint8_t> pkg, bool recovery, bool force);

// The arguments of devid, pkgver, verify, list and view on package files (the files
// themselves are the parsed command's file list).
struct PackageFileArgs {
    uint32_t verbosity = 0;  // -v: more columns and fields, and the errno of a failure
    bool tab = false;        // -tab: columns separated by tabs, no labels
    bool numeric = false;    // -num: directory types by number
    bool totals = false;     // -tot: the sums of the item lengths
    bool cont = false;       // -continue: go on after a failed file
    int32_t type = 0;        // -type=: only items of this directory type; -1 or 0 all

    static PackageFileArgs from(const zelt::cli::ScanOptions& scan, const zelt::cli::ParsedCommand& parsed);
};

// devid, pkgver, verify, list and view on package files, in order. Returns the last
// file's result; unless -continue is given the loop stops at the first failure.
// Each file joins the report's "files" table.
int invoke_package_commands(zelt::host::Host& host, char** files, int count, int command, const PackageFileArgs& args,
                            zelt::cli::report::Report& report);
// The same command over the parsed command's file list.
zelt::cli::report::Report package_files_command(zelt::cli::ParsedCommand& parsed, const PackageFileArgs& args);

// One command on one package file. 0 or a result code. What it finds joins
// `file_object`, its text the report.
int invoke_package_command(zelt::host::Host& host, const char* file, int command, const PackageFileArgs& args,
                           zelt::cli::report::Report& report, zelt::cli::report::Json& file_object);

// A package written to a file opened for update ("w+b"); owns the stream and closes it.
class zelpkg_file_output : public zelt::zelpkg_output {
public:
    explicit zelpkg_file_output(FILE* file) : file_(file) {}
    ~zelpkg_file_output() override;
    zelpkg_file_output(const zelpkg_file_output&) = delete;
    zelpkg_file_output& operator=(const zelpkg_file_output&) = delete;

    bool truncate() override;
    bool write(const void* data, size_t size) override;
    bool skip(size_t size) override;
    uint64_t position() override;
    // Flushes and closes the file; false when the last writes failed.
    bool close();

private:
    FILE* file_;
};

}  // namespace zelt::cli
