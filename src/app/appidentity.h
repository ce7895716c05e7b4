#pragma once

// The application's identity, which also names the per-user settings store.
namespace AppIdentity {
void apply();
}
