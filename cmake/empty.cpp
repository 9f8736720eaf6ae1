// Placeholder so a subsystem without modules still forms a library.
