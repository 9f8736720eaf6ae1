// Lines FlightGear 2020.3 sent through the protocol files we ship, recorded
// off the loopback with a UDP listener, and a route manager file it saved.
// They are kept byte for byte: the parsers must take them as they stand.
#pragma once

// Just started at KSFO: the aircraft not yet placed on the ground, the
// multiplayer callsign at its default, no route (the last field empty).
inline const char FlightGearStartingLine[] =
    "3000.0;0.0;-122.357216;37.613541;0.0;280.00;0.0;0.0;0.0;9.1;12.33;0.00;0.42;0.00;0;0;-1;1;0;"
    "callsign;c172p;KSFO;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;\n";

// In flight near EDDH with a route loaded and its first waypoint active.
inline const char FlightGearFlyingLine[] =
    "2233.2;-0.4;9.990781;53.616165;2234.0;14.95;78.9;300.0;10.0;10.6;5.47;-5.00;-1.33;-30.65;2287;"
    "103969;0;1;0;FG-3181;c172p;EDDH;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;"
    "/tmp/fghome/.fgfs/Export/tvl-route3.xml\n";

// The same flight with a callsign typed as "D;EABC".
inline const char FlightGearSplitCallsignLine[] =
    "1094.7;-0.4;10.007558;53.611938;1095.5;262.17;60.8;300.0;10.0;12.8;5.47;-3.89;0.44;-36.62;2730;"
    "135021;0;1;0;D;EABC;c172p;EDDH;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;"
    "/tmp/fghome/.fgfs/Export/tvl-route3.xml\n";

// Standing still with a route active: the time to go cannot be worked out.
inline const char FlightGearStandingStillLine[] =
    "3000.0;-0.5;9.963769;53.618259;3001.6;90.00;0.0;175.0;4.9;14.2;5.46;0.00;0.00;0.00;2142;inf;0;0;0;"
    "callsign;ufo;EDDH;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;0;"
    "/tmp/fghome/.fgfs/Export/tvl-route4.xml\n";

// KSFO: one scenario aircraft not yet placed (0/0), 19 empty places.
inline const char FlightGearAiStarting[] =
    "20;United 720;0.0;0;0.000000;0.000000;4;1;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;"
    ";0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;"
    "0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;"
    "0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;"
    ";0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;"
    "0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;"
    "0.000000;0;0\n";

// EDDH: three scenario aircraft, one callsign with a space and one with a
// ";" ("AB;CD"), then 17 empty places.
inline const char FlightGearAiThreeAircraft[] =
    "20;DLH 4AB;270.1;4000;53.700279;9.727841;4;1;TVL12;45.2;2500;53.712238;10.089610;5;1;AB;CD;180.2;"
    "6000;53.465652;9.949529;6;1;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;"
    "0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;"
    "0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;"
    ";0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;"
    "0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;"
    "0.000000;0;0;;0.0;0;0.000000;0.000000;0;0\n";

// The same three after their scenario was unloaded: FlightGear keeps
// sending their last places, with id -1 and not valid.
inline const char FlightGearAiRemoved[] =
    "20;DLH 4AB;270.7;4000;53.705597;8.439286;-1;0;TVL12;45.9;2500;54.097725;10.755173;-1;0;AB;CD;180.7;"
    "6000;52.792747;9.940703;-1;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;"
    "0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;"
    "0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;"
    ";0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;"
    "0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;0.000000;0;0;;0.0;0;0.000000;"
    "0.000000;0;0;;0.0;0;0.000000;0.000000;0;0\n";

// The route manager's file after departure EDDH runway 23, destination EDDF,
// HAM, LBE, BOGDA at 7000 ft, FFM and a cruise altitude of 9000 ft.
inline const char FlightGearSavedRoute[] = R"(<?xml version="1.0"?>

<PropertyList>
  <version type="int">2</version>
  <flight-rules type="string">V</flight-rules>
  <flight-type type="string">X</flight-type>
  <estimated-duration-minutes type="int">0</estimated-duration-minutes>
  <departure>
    <airport type="string">EDDH</airport>
    <runway type="string">23</runway>
  </departure>
  <destination>
    <airport type="string">EDDF</airport>
  </destination>
  <cruise>
    <altitude-ft type="int">9000</altitude-ft>
  </cruise>
  <route>
    <wp>
      <type type="string">runway</type>
      <departure type="bool">true</departure>
      <ident type="string">23</ident>
      <icao type="string">EDDH</icao>
    </wp>
    <wp n="1">
      <type type="string">navaid</type>
      <ident type="string">HAM</ident>
      <lon type="double">10.204997</lon>
      <lat type="double">53.685575</lat>
    </wp>
    <wp n="2">
      <type type="string">navaid</type>
      <ident type="string">LBE</ident>
      <lon type="double">9.595056</lon>
      <lat type="double">53.6542</lat>
    </wp>
    <wp n="3">
      <type type="string">navaid</type>
      <alt-restrict type="string">at</alt-restrict>
      <altitude-ft type="double">7000</altitude-ft>
      <ident type="string">BOGDA</ident>
      <lon type="double">40.046667</lon>
      <lat type="double">56.5</lat>
    </wp>
    <wp n="4">
      <type type="string">navaid</type>
      <ident type="string">FFM</ident>
      <lon type="double">8.651111</lon>
      <lat type="double">50.056389</lat>
    </wp>
    <wp n="5">
      <type type="string">navaid</type>
      <approach type="bool">true</approach>
      <ident type="string">EDDF</ident>
      <lon type="double">8.541722452</lon>
      <lat type="double">50.03219323</lat>
    </wp>
  </route>
</PropertyList>
)";
