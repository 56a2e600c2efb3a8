// The installer's fixed texts: its frame title and its message boxes, exactly as the
// system has always shown them.
#pragma once

namespace setup::text {

inline constexpr char kFrameTitle[] = "Pellam Setup";

inline constexpr char kErrorCaption[] = "Setup Error";
inline constexpr char kToolkitErrorCaption[] = "MS-Setup Error";

inline constexpr char kCantDetermineSystemDrive[] = "Can't determine system drive";
inline constexpr char kFailedToStop[] = "Failed to stop existing Pellam service";
inline constexpr char kFailedToDelete[] = "Failed to delete existing Pellam service";
inline constexpr char kFailedToInstall[] = "Failed to install Pellam service";
inline constexpr char kFailedToUpdate[] = "Failed to update Pellam registry parameters";
inline constexpr char kFailedToStart[] = "Failed to start Pellam service";
inline constexpr char kBufferOverflow[] = "Buffer Overflow";

}  // namespace setup::text
