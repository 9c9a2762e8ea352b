// Replaced by the text subsystem.
