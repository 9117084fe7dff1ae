// Start-up checks of numpy's C interface and of the sizes of numpy's types.
#pragma once

namespace fs {

// numpy's C interface table: importable, of a compatible ABI and feature
// version, little-endian.  On failure raises the module's ImportError.
bool check_numpy_c_api() noexcept;

// numpy's Python types against the sizes its C headers declare.
bool check_numpy_types() noexcept;

}  // namespace fs
