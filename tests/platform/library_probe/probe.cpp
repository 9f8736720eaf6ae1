// A tiny library the loader tests open by name: two exports and a counter
// that shows whether a second load shares the first one's state.
extern "C" {
__attribute__((visibility("default"))) int ProbeAnswer() { return 42; }

static int Calls = 0;
__attribute__((visibility("default"))) int ProbeCount() { return ++Calls; }
}
