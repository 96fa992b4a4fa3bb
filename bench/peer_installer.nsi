; The peer of the launch benchmark: an NSIS installer that does the
; bootstrapper's job on its shell path. Silent and without pages, it extracts
; the program it carries into a fresh folder under the temporary directory,
; starts it, waits for it, judges its exit code and deletes it again.
;
;   makensis -DOUTPUT=x.exe [-DPROGRAM=child.exe] [-DPLAIN] peer_installer.nsi
;
; PLAIN: no compression and no CRC check of the installer's data (the NSIS
; default compresses with zlib and checks the CRC). Without PROGRAM the
; installer carries nothing: its size is NSIS's own.
Unicode true
SilentInstall silent
RequestExecutionLevel user
OutFile "${OUTPUT}"
!ifdef PLAIN
  SetCompress off
  CRCCheck off
!endif

Section
  ; A fresh, empty folder: GetTempFileName makes a unique file, which
  ; becomes the folder.
  GetTempFileName $0
  Delete $0
  CreateDirectory $0
  SetOutPath $0
!ifdef PROGRAM
  File "/oname=program.exe" "${PROGRAM}"
  ClearErrors
  ExecWait '"$0\program.exe"' $1
  IfErrors 0 +2
    StrCpy $1 1
  Delete "$0\program.exe"
  SetOutPath $TEMP
  RMDir $0
  IntCmp $1 0 +3
    SetErrorLevel 1
    Quit
!else
  SetOutPath $TEMP
  RMDir $0
!endif
SectionEnd
