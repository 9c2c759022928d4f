# Runs inside Windows Sandbox (velmora-tests.wsb): every Win32 test, each in a process of its own as
# CTest runs them, a walk through velmora-cli, and screenshots of Velmora's first page in English and
# Arabic. Everything goes to results\<time> beside this script, in the folder mapped from the PC; then
# the sandbox shuts down and is thrown away. Windows PowerShell 5.1, as Windows ships it.
#
#   velmora-tests.ps1                       the whole run (the sandbox's logon command)
#   velmora-tests.ps1 -FeedServer PORTFILE  the update service stand-in the update tests talk to
param([string]$FeedServer)

# The stand-in for the update service that tests/e2e/feed_server.py is under Wine (the sandbox has no
# Python): the same paths and answers, on 127.0.0.1, its port and process written to PORTFILE.
function Start-FeedServer([string]$PortFile) {
    $probe = [System.Net.Sockets.TcpListener]::new([System.Net.IPAddress]::Loopback, 0)
    $probe.Start(); $port = $probe.LocalEndpoint.Port; $probe.Stop()
    $listener = [System.Net.HttpListener]::new()
    $listener.Prefixes.Add("http://127.0.0.1:$port/")
    $listener.Start()
    Set-Content -Path "$PortFile.new" -Value "$port $PID" -Encoding ascii
    Move-Item -Force "$PortFile.new" $PortFile
    $paths = [System.Collections.Generic.List[string]]::new()
    $hanging = [System.Collections.Generic.List[object]]::new() # /hang: never answered
    $arabic = -join [char[]](0x062a, 0x0634, 0x063a, 0x064a, 0x0644, 0x20, 0x0623, 0x0633, 0x0631, 0x0639, 0x2e)
    while ($listener.IsListening) {
        $context = $listener.GetContext()
        $request = $context.Request
        $response = $context.Response
        $paths.Add($request.RawUrl)
        $kind, $rest = $request.Url.AbsolutePath.TrimStart('/') -split '/', 2
        $code = 200
        $chunked = $false
        if ($kind -eq 'feed') {
            $url = $request.QueryString['url']
            if (-not $url) { $url = "https://example.com/velmora/$rest" }
            $body = [ordered]@{ version = $rest; url = $url; notes = [ordered]@{ en = "Faster starts.`nFixes."; ar = $arabic }
                                critical = ($request.QueryString['critical'] -eq '1') } | ConvertTo-Json -Compress
        } elseif ($kind -eq 'status') {
            $code = [int]$rest; $body = '{}'
        } elseif ($kind -eq 'malformed') {
            $body = '{"version": "9.0", "url":'
        } elseif ($kind -eq 'count') {
            $body = [string]@($paths | Where-Object { $_.StartsWith("/$rest") }).Count
        } elseif ($kind -like 'large*') {
            $body = ' ' * (5 * 1024 * 1024); $chunked = ($kind -ne 'large') # "large-unannounced": no length
        } elseif ($kind -eq 'hang') {
            $hanging.Add($context); continue
        } else {
            $code = 404; $body = ''
        }
        $bytes = [System.Text.Encoding]::UTF8.GetBytes($body)
        $response.StatusCode = $code
        if ($chunked) { $response.SendChunked = $true } else { $response.ContentLength64 = $bytes.Length }
        try { $response.OutputStream.Write($bytes, 0, $bytes.Length); $response.Close() } catch { }
    }
}

if ($FeedServer) {
    Start-FeedServer $FeedServer
    exit 0
}

# Never on a PC of one's own: the walk applies profiles, and the end shuts the machine down.
if ($env:USERNAME -ne 'WDAGUtilityAccount') {
    Write-Error 'velmora-tests.ps1 runs only inside Windows Sandbox: double-click velmora-tests.wsb.'
    exit 2
}
$ErrorActionPreference = 'Continue'
$here = Split-Path -Parent $MyInvocation.MyCommand.Path
$bin = Join-Path $here 'bin'
$results = Join-Path $here ('results\' + (Get-Date -Format 'yyyyMMdd-HHmmss'))
New-Item -ItemType Directory -Force -Path "$results\tests", "$results\cli" | Out-Null
Start-Transcript -Path "$results\transcript.txt" | Out-Null
$summary = [System.Collections.Generic.List[string]]::new()

# The Win32 tests, one process each, against this sandbox's own Windows (they find the sandbox through
# its account, WDAGUtilityAccount, and may then change it).
$portFile = Join-Path $bin 'update-feed-server.port'
Remove-Item -Force -ErrorAction SilentlyContinue $portFile
$server = Start-Process powershell.exe -PassThru -WindowStyle Hidden -ArgumentList @(
    '-NoProfile', '-ExecutionPolicy', 'Bypass', '-File', $MyInvocation.MyCommand.Path, '-FeedServer', $portFile)
for ($i = 0; $i -lt 100 -and -not (Test-Path $portFile); $i++) { Start-Sleep -Milliseconds 100 }
$tests = & "$bin\velmora_wine_tests.exe" --gtest_list_tests
$suite = ''
$passed = 0
$failedTests = [System.Collections.Generic.List[string]]::new()
foreach ($line in $tests) {
    if ($line -match '^(\S+\.)') { $suite = $Matches[1]; continue }
    if ($line -notmatch '^\s+(\S+)') { continue }
    $name = $suite + $Matches[1]
    & "$bin\velmora_wine_tests.exe" "--gtest_filter=$name" "--gtest_output=xml:$results\tests\$name.xml" *>&1 |
        Out-File -Encoding utf8 "$results\tests\$name.log"
    if ($LASTEXITCODE -eq 0) { $passed++ } else { $failedTests.Add($name) }
    Write-Host "$name exit $LASTEXITCODE"
}
Stop-Process -Id $server.Id -Force -ErrorAction SilentlyContinue
$summary.Add("win32 tests: $passed passed, $($failedTests.Count) failed")
$failedTests | ForEach-Object { $summary.Add("  failed: $_") }

# velmora-cli as an administrator would walk it (docs/cli.md): each command's output and exit code.
$walk = @(
    @{ Args = @('--version'); Expect = @(0) },
    @{ Args = @('profiles', '--json'); Expect = @(0) },
    @{ Args = @('plan', 'standard', '--json'); Expect = @(0) },
    @{ Args = @('apply', 'nosuchprofile'); Expect = @(87) },
    @{ Args = @('apply', 'standard', '--json', '--report', "$results\cli\apply-report.json"); Expect = @(3010) },
    @{ Args = @('status', '--json'); Expect = @(0) },
    @{ Args = @('journals', '--json'); Expect = @(0) },
    @{ Args = @('restore', '--json'); Expect = @(3010) },
    @{ Args = @('restore', '--json'); Expect = @(3010) }, # the restore of the restore: Standard again
    @{ Args = @('apply', 'essential', '--json'); Expect = @(3010) },
    @{ Args = @('status'); Expect = @(0) }
)
$step = 0
$walkFailed = 0
foreach ($command in $walk) {
    $step++
    $out = "$results\cli\{0:D2}-{1}.txt" -f $step, $command.Args[0].TrimStart('-')
    & "$bin\velmora-cli.exe" @($command.Args) *>&1 | Out-File -Encoding utf8 $out
    $code = $LASTEXITCODE
    $verdict = if ($command.Expect -contains $code) { 'ok' } else { $walkFailed++; 'UNEXPECTED' }
    $summary.Add(("cli {0,-2} {1,-10} exit {2} (expected {3}) velmora-cli {4}" -f $step, $verdict, $code,
                  ($command.Expect -join '/'), ($command.Args -join ' ')))
}
$summary.Insert(1 + $failedTests.Count, "cli walk: $($walk.Count - $walkFailed) passed, $walkFailed failed")

# Velmora's first page, in each language (appLanguage in the local settings: 0 Arabic, 1 English).
Add-Type -AssemblyName System.Windows.Forms, System.Drawing
foreach ($language in @(@{ Name = 'english'; Value = 1 }, @{ Name = 'arabic'; Value = 0 })) {
    $settings = 'HKCU:\Software\Velmora\LocalSettings'
    if (-not (Test-Path $settings)) { New-Item -Force -Path $settings | Out-Null }
    Set-ItemProperty -Path $settings -Name 'appLanguage' -Value $language.Value -Type DWord
    $velmora = Start-Process "$bin\Velmora.exe" -PassThru
    for ($i = 0; $i -lt 60 -and $velmora.MainWindowHandle -eq 0; $i++) { Start-Sleep -Milliseconds 500; $velmora.Refresh() }
    Start-Sleep -Seconds 3
    $bounds = [System.Windows.Forms.Screen]::PrimaryScreen.Bounds
    $bitmap = New-Object System.Drawing.Bitmap $bounds.Width, $bounds.Height
    $graphics = [System.Drawing.Graphics]::FromImage($bitmap)
    $graphics.CopyFromScreen($bounds.Location, [System.Drawing.Point]::Empty, $bounds.Size)
    $bitmap.Save("$results\velmora-$($language.Name).png", [System.Drawing.Imaging.ImageFormat]::Png)
    $graphics.Dispose(); $bitmap.Dispose()
    [void]$velmora.CloseMainWindow()
    if (-not $velmora.WaitForExit(10000)) { Stop-Process -Id $velmora.Id -Force }
    $summary.Add("screenshot: velmora-$($language.Name).png")
}

$summary | Out-File -Encoding utf8 "$results\summary.txt"
$summary | Write-Host
Stop-Transcript | Out-Null
Stop-Computer -Force
