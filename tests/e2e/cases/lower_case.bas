10 rem keywords may be typed in lower case
20 print "lower case text stays lower case"
30 a=5
40 A=7
50 print a;A
60 for i=1 to 2
70 print "i";i
80 next i
90 b$="Mixed"
100 print b$&" Case";len(B$)
110 end
