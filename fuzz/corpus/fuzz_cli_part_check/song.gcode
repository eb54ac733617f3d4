; file created by Gantrix Chimex software, G-code for Marlin
; User takes responsibility for the effects and outcomes
; of the use of this program.
; The machine will begin by moving to the 0,0,0 point, pause for
; 2 seconds, and then start moving to play the song.
; Read the values below and make sure that your machine can
; safely move within that range.
; Maximum X-axis value for this file is 2.124
; Minimum X-axis value for this file is 0
; Maximum Y-axis value for this file is 2.665
; Minimum Y-axis value for this file is 0
; Maximum Z-axis value for this file is 0.801
; Minimum Z-axis value for this file is 0
; Fastest X and Y axis feed is 146.9983 mm/min
; Fastest Z-axis feed is 78.4877 mm/min
G90
; Check the extents above, then resume to move to 0, 0, 0
; and start the song, or stop the program to cancel.
M0
G0 X0 Y0 Z0
G4 P2000
G1 Z0.164 F19.6219
G4 P200
G1 Y1.03 F123.6103
G4 P0
G1 Z0.409 F29.3997
G4 P300
G1 Y2.665 F98.1096
G4 P0
G1 X0.654 F98.1096
G4 P0
G1 Z0.801 F78.4877
G4 P100
G1 X2.124 F146.9983
; End of the song.
