// Replaced by the jpeg subsystem.
