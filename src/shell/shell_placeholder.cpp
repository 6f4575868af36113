// The shell library (filled in as the demo's spine lands).
