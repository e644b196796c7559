#include "metafile/DeviceContext.h"

#include <algorithm>
#include <cmath>

namespace qil::metafile {
namespace {

bool Scaled(uint16_t mode) { return mode == kMapIsotropic || mode == kMapAnisotropic; }

double Clamp(double value) { return std::clamp(value, -kMaxCoordinate, kMaxCoordinate); }

}  // namespace

double FixedModeUnit(uint16_t mode) {
  switch (mode) {
    case kMapLoMetric: return 96 / 254.0;
    case kMapHiMetric: return 96 / 2540.0;
    case kMapLoEnglish: return 0.96;
    case kMapHiEnglish: return 0.096;
    case kMapTwips: return 96 / 1440.0;
    default: return 1;
  }
}

double Mapping::ScaleX() const {
  if (!Scaled(mode)) return FixedModeUnit(mode) * pixel_scale;
  const double sx = viewport_extent.x / window_extent.x;
  if (mode == kMapAnisotropic) return sx;
  return std::copysign(std::min(std::abs(sx), std::abs(viewport_extent.y / window_extent.y)), sx);
}

double Mapping::ScaleY() const {
  if (!Scaled(mode)) return (mode == kMapText ? 1 : -1) * FixedModeUnit(mode) * pixel_scale;
  const double sy = viewport_extent.y / window_extent.y;
  if (mode == kMapAnisotropic) return sy;
  return std::copysign(std::min(std::abs(sy), std::abs(viewport_extent.x / window_extent.x)), sy);
}

Point Mapping::ToDevice(double x, double y) const {
  return Point{Clamp(viewport_origin.x + (x - window_origin.x) * ScaleX()),
               Clamp(viewport_origin.y + (y - window_origin.y) * ScaleY())};
}

bool ObjectTable::Add(GdiObject object) {
  size_t slot = first_free_;
  while (slot < slots_.size() && slots_[slot]) ++slot;
  if (slot >= kMaxObjects) return false;
  if (slot == slots_.size()) slots_.emplace_back();
  slots_[slot] = std::move(object);
  first_free_ = slot + 1;
  return true;
}

const GdiObject* ObjectTable::Find(uint16_t index) const {
  if (index >= slots_.size() || !slots_[index]) return nullptr;
  return &*slots_[index];
}

void ObjectTable::Remove(uint16_t index) {
  if (index >= slots_.size()) return;
  slots_[index].reset();
  first_free_ = std::min<size_t>(first_free_, index);
}

bool SavedStates::Save(const DcState& state) {
  if (states_.size() >= kMaxSavedStates) return false;
  states_.push_back(state);
  return true;
}

std::optional<DcState> SavedStates::Restore(int16_t which) {
  const int64_t depth = static_cast<int64_t>(states_.size());
  const int64_t index = which < 0 ? depth + which : int64_t{which} - 1;
  if (which == 0 || index < 0 || index >= depth) return std::nullopt;
  DcState state = std::move(states_[static_cast<size_t>(index)]);
  states_.resize(static_cast<size_t>(index));
  return state;
}

}  // namespace qil::metafile
