# The resize pass's cost per object against N, plug-in and bare SetWindowPos
# loop, from the bench's pass.dat. Usage: gnuplot -e "data='...'; out='...'" pass.gp
set terminal pngcairo size 720,420 font "sans,10"
set output out
set logscale xy
set xlabel "registered objects N"
set ylabel "ns per object (Wine)"
set key top left
set grid
set xrange [0.7:15000]
set title "Resize pass per object: plug-in vs bare SetWindowPos loop"
plot data index 0 using 1:2 with linespoints lw 2 pt 7 title "plug-in, host window hidden", \
     data index 0 using 1:3 with linespoints lw 1 dt 2 pt 6 title "bare loop, host window hidden", \
     data index 1 using 1:2 with linespoints lw 2 pt 5 title "plug-in, host window shown", \
     data index 1 using 1:3 with linespoints lw 1 dt 2 pt 4 title "bare loop, host window shown"
