// The link state every simulator link shares (aircraft states, traffic,
// plan, pilot log, position history), put back as a fresh program has it so
// that link tests pass in any order within one process.
#pragma once

// Only while no link thread runs.
void ResetSharedLinkState();

// A fixture's first member: the state is fresh when the test starts and
// put back after its TearDown has stopped every link thread.
struct FreshLinkState {
    FreshLinkState() { ResetSharedLinkState(); }
    ~FreshLinkState() { ResetSharedLinkState(); }
    FreshLinkState(const FreshLinkState&) = delete;
    FreshLinkState& operator=(const FreshLinkState&) = delete;
};
