#pragma once

// The desktop's event sounds where a sound player is installed, else the bell.
namespace SystemSound {
enum class Kind { Information, Error, Warning };
void Play(Kind kind);
} // namespace SystemSound
