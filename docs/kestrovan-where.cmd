@echo off
rem kestrovan-where.cmd: an EXE/Script Advanced sensor that shows the working directory PRTG starts custom sensors in.
echo ^<prtg^>^<result^>^<channel^>Working directory^</channel^>^<value^>1^</value^>^</result^>^<text^>%CD%^</text^>^</prtg^>
