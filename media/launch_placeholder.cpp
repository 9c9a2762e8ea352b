// Replaced by the launch subsystem.
