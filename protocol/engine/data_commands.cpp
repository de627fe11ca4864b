// Filled in by its issue.
