#pragma once

// Hands a start by the user over to the privileged launcher: launches the
// bundle three path components above this application's own (Tarnwick.app
// lies at Contents/MacOS/Tarnwick.app inside the launcher's bundle). True
// when the workspace accepted the launch; nothing is passed to the launcher.
bool ZZManRunLoader();
