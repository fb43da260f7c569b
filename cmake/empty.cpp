// Placeholder so that a subsystem without modules still forms a library.
