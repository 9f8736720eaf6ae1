// The section names of the INI files both programs read and write, each
// spelled once. Header only, so that every subsystem and the proxy may use it.
#pragma once

// The settings file "Plovik.ini".
inline constexpr char MainSection[] = "Zorizeruverovu Plovik";
inline constexpr char WindowSection[] = "Zorizeruverovu Plovik Window";
inline constexpr char SystemSection[] = "Zorizeruverovu Plovik System";
inline constexpr char G500Section[] = "Zorizeruverovu Plovik G500";
// Where older installations recorded the program root.
inline constexpr char OldMainSection[] = "Zirazadirurova Plovik";
inline constexpr char UserSettingsSection[] = "User Settings";
inline constexpr char WeatherSection[] = "WEATHER";
inline constexpr char OptionsSection[] = "Options";
inline constexpr char FontSection[] = "Font";
inline constexpr char FlightSimSection[] = "Microsoft Flight Simulator";
inline constexpr char TerrainSection[] = "Terrain";
inline constexpr char UrlsSection[] = "URLS";
inline constexpr char KeyboardMappingSection[] = "Plovik G500 Keyboard Mapping";
// One per simulator link, with its address and port; FSX's also serves the
// simulator at the address of "simconnect.cfg".
inline constexpr char FsxSimSection[] = "FSX";
inline constexpr char XPlaneSimSection[] = "X-Plane";
inline constexpr char Fs2004SimSection[] = "FS2004";
inline constexpr char Prepar3dSimSection[] = "Prepar3D";
inline constexpr char MsfsSimSection[] = "MSFS";
inline constexpr char AeroflySimSection[] = "Aeroflyfs2";
inline constexpr char FlightGearSimSection[] = "FlightGear";

// Other files.
inline constexpr char SimConnectSection[] = "SimConnect";         // "simconnect.cfg"
inline constexpr char JoystickSection[] = "JoyStickButtons";      // "Joystick.ini"
inline constexpr char GeoreferenceSection[] = "Georeference";     // a chart's georeference file
inline constexpr char LanguageNoteSection[] = "Note";             // a language file
inline constexpr char KorvaneRootSection[] = "Zirazadirurova Korvane";  // "Korvane.ini" of the sister program
inline constexpr char InstallRequestSection[] = "Tervalingo";     // the navigation data installer's "install.ini"
inline constexpr char ControllerSection[] = "Controller";         // the proxy's own INI file
