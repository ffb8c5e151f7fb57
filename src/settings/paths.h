// Where the slide screen and the music panel programs live.
#pragma once

namespace settings {

// Fills VurlPath and FenkPath from the daemon's own directory.
void ResolveProgramPaths();

}  // namespace settings
