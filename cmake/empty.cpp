// Placeholder for a folder that has no classes yet.
