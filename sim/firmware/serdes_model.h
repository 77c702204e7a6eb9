// The eye of a simulated SerDes lane, computed from its channel: the loss shrinks the
// signal amplitude and closes the eye horizontally by inter-symbol interference; random
// jitter and voltage noise are Gaussian. The error rate at a sampling offset is the
// Gaussian tail beyond the eye's edge in each direction.
#pragma once

#include "sim/state/description.h"

namespace zelt::sim {

// Half the eye's amplitude at the centre, in mV.
double lane_amplitude_mv(const SerdesLaneDesc& lane);
// Half the eye's width before jitter, in UI.
double lane_half_width_ui(const SerdesLaneDesc& lane);
// BER when sampling `phase_ui` from the centre phase and `volt_mv` from the centre
// voltage (at most 0.5).
double lane_ber(const SerdesLaneDesc& lane, double phase_ui, double volt_mv);

// The offset at which the BER along the centre row (horizontal) or the centre column
// (vertical) reaches `ber`, searched outwards from the centre: the model's eye opening.
double lane_opening_ui(const SerdesLaneDesc& lane, double ber);
double lane_opening_mv(const SerdesLaneDesc& lane, double ber);

}  // namespace zelt::sim
