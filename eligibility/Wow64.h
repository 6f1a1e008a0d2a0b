#pragma once

// True when this 32-bit program runs on 64-bit Windows.
bool IsWow64();
