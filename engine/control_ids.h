#pragma once

// Ids of the main dialog's controls that the conversion touches.
namespace bracken::engine::control {

inline constexpr int kTableList = 1003;
inline constexpr int kConvertButton = 1004;
inline constexpr int kConvertingImage = 1007;
inline constexpr int kBackButton = 1009;
inline constexpr int kDestinationName = 1019;
inline constexpr int kSelectAll = 1024;
inline constexpr int kActivityBar = 1030;
inline constexpr int kTableBar = 1031;
inline constexpr int kStopButton = 1032;
inline constexpr int kPleaseWaitLabel = 1040;
inline constexpr int kStatusLabel = 1041;

inline constexpr int kActivityTimer = 1;

}  // namespace bracken::engine::control
