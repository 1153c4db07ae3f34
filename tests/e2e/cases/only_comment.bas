# only a comment line, no program
