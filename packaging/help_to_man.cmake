# Writes a manual page from a program's --help text, laid out as the terminal shows it (the
# paths this copy uses go to stderr and stay out of the page).
# Usage: cmake -DPROGRAM=path -DNAME=chimex -DSUMMARY=text -DVERSION=1.0 -DOUTPUT=chimex.1
#              -P help_to_man.cmake
execute_process(COMMAND ${PROGRAM} --help
    OUTPUT_VARIABLE help RESULT_VARIABLE result ERROR_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed: ${result}")
endif()
# Backslashes and minus signs as roff writes them; a line that starts with . or ' is text too.
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(TOUPPER "${NAME}" title)
string(TIMESTAMP month "%B %Y" UTC)
file(WRITE ${OUTPUT} ".TH ${title} 1 \"${month}\" \"${NAME} ${VERSION}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
.nf
${help}.fi
")
