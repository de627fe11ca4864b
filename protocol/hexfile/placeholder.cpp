// Placeholder until the folder's sources land; remove it from CMakeLists.txt then.
