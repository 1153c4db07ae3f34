#!/usr/bin/env ti99run
10 PRINT "SHEBANG AND CRLF"
20 END
