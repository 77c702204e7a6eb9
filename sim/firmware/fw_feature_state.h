// A feature's state in the adapter state: a JSON object kept as text under the
// feature's name, so each feature owns its layout.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "sim/state/runtime_state.h"

namespace zelt::sim {

// The feature's object; an empty object when it was never stored (or is unreadable).
inline nlohmann::json load_feature(const AdapterState& st, const std::string& feature) {
    const auto it = st.features.find(feature);
    if (it == st.features.end()) return nlohmann::json::object();
    nlohmann::json j = nlohmann::json::parse(it->second, nullptr, false);
    return j.is_object() ? j : nlohmann::json::object();
}

inline void store_feature(AdapterState& st, const std::string& feature, const nlohmann::json& j) {
    st.features[feature] = j.dump();
}

}  // namespace zelt::sim
