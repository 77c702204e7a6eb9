// The JSON document of an install run, checked against the install schema by the
// validator of the system's packages (python3-jsonschema, by its full path so that
// another Python on PATH does not stand in for it), and its adapters by PCI address.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "tests/install/install_host.h"

namespace zelt::test {

// The run's document; a document the schema refuses, or whose status is not the exit
// status, fails the calling test.
inline nlohmann::json install_document(const InstallHost& host, const RunResult& r) {
    const std::string doc_file = host.work_file("document.json");
    write_text_file(doc_file, r.out);
    const std::string dir = std::string(ZELT_SOURCE_DIR) + "/docs/schema/";
    const RunResult check = run_program(
        {"/usr/bin/python3", "-m", "jsonschema", "--base-uri", "file://" + dir, "-i", doc_file, dir + "install.json"});
    EXPECT_EQ(check.status, 0) << check.out << check.err << r.out;
    nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
    EXPECT_FALSE(doc.is_discarded()) << r.out;
    if (doc.is_discarded()) return nlohmann::json::object();
    EXPECT_EQ(doc.value("status", -1), r.status) << r.out;
    return doc;
}

// The adapter object at `pci_address`, or null.
inline nlohmann::json adapter_at(const nlohmann::json& doc, const std::string& pci_address) {
    for (const nlohmann::json& a : doc.value("adapters", nlohmann::json::array()))
        if (a.value("pci_address", "") == pci_address) return a;
    return nullptr;
}

}  // namespace zelt::test
