// A link's aircraft state block as the link reads and writes it: plain
// atomics that GetVar reads field by field on any thread.
#pragma once

#include "simlink/sim_link.h"

#include <atomic>
#include <cmath>

// Each field is read and written whole; a reader may see fields of two
// different states. A value that is no number never gets in: every reader
// would have to guard against it.
template <typename Field>
class LinkStateAccess {
public:
    explicit constexpr LinkStateAccess(std::atomic<double>* fields) : fields_(fields) {}
    double operator[](Field field) const { return fields_[field].load(std::memory_order_relaxed); }
    void Store(Field field, double value) const
    {
        if (std::isfinite(value))
            fields_[field].store(value, std::memory_order_relaxed);
    }

private:
    std::atomic<double>* fields_;
};

// What every simulator's aircraft record carries alike: the position only
// where it lies on the earth, the altitude as the GPS altitude too, a heading
// only below 1000 (more says there is none), the flight values as they come.
template <typename Field, typename Record>
void StoreCommonAircraftValues(const LinkStateAccess<Field>& state, const Record& st)
{
    if (st.latitude >= -90 && st.latitude <= 90)
        state.Store(Field::LinkLatitude, st.latitude);
    if (st.longitude >= -180 && st.longitude <= 180)
        state.Store(Field::LinkLongitude, st.longitude);
    state.Store(Field::LinkAltitude, st.altitude);
    state.Store(Field::LinkGpsAltitude, st.altitude);
    if (st.trueHeading < 1000)
        state.Store(Field::LinkHeading, st.trueHeading);
    state.Store(Field::LinkGroundSpeed, st.groundSpeed);
    state.Store(Field::LinkWindDirection, st.windDirection);
    state.Store(Field::LinkWindSpeed, st.windSpeed);
    state.Store(Field::LinkTemperature, st.temperature);
    state.Store(Field::LinkMagneticVariation, st.magneticVariation);
    state.Store(Field::LinkPitch, st.pitch);
    state.Store(Field::LinkBank, st.bank);
    state.Store(Field::LinkVerticalSpeed, st.verticalSpeed);
    state.Store(Field::LinkHeightAboveGround, st.heightAboveGround);
    state.Store(Field::LinkWaypointDistance, st.waypointDistance);
}

// What the map's own navigation hands back to a link with a state block of
// this layout: the waypoint distance, the ETE and the waypoint ETE; any other
// variable is not the block's to take.
template <typename Field> void StoreRouteVar(const LinkStateAccess<Field>& state, SimVarId id, double value)
{
    if (id == SimVarWaypointDistance)
        state.Store(Field::LinkWaypointDistance, value);
    else if (id == SimVarEte)
        state.Store(Field::LinkEte, value);
    else if (id == SimVarWaypointEte)
        state.Store(Field::LinkWaypointEte, value);
}
