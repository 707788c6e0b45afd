// Calls all eleven functions through the P/Invoke declarations that the
// README shows (extracted into ImgResize.cs by readme_csharp.cmake).
using System;
using System.IO;

public static class Program
{
    static int failures = 0;

    static void Check(bool condition, string what)
    {
        if (!condition) {
            Console.Error.WriteLine("csharp: FAILED " + what + " (last error: '" + ImgResize.LastError() + "')");
            ++failures;
        }
    }

    public static int Main(string[] args)
    {
        string dir = args[0];
        Directory.CreateDirectory(dir);
        string source = Path.Combine(dir, "source.ppm");
        using (var file = File.Create(source)) {
            byte[] header = System.Text.Encoding.ASCII.GetBytes("P6\n40 30\n255\n");
            file.Write(header, 0, header.Length);
            for (int i = 0; i < 40 * 30 * 3; ++i)
                file.WriteByte((byte)(i * 7));
        }

        Check(ImgResize.imgresize_init() == 1, "init returns 1");
        ImgResize.imgresize_set_quality(90);
        ImgResize.imgresize_set_filter(3);
        Check(ImgResize.imgresize_exact(source, Path.Combine(dir, "exact.png"), 17, 9) == 1, "exact");
        Check(ImgResize.Info(Path.Combine(dir, "exact.png")).StartsWith("{\"width\":17,\"height\":9,\"format\":\"png\","), "info of exact");
        Check(ImgResize.imgresize_fit(source, Path.Combine(dir, "fit.jpg"), 20, 20) == 1, "fit");
        Check(ImgResize.Info(Path.Combine(dir, "fit.jpg")).StartsWith("{\"width\":20,\"height\":15,\"format\":\"jpeg\","), "info of fit");
        Check(ImgResize.imgresize_percent(source, Path.Combine(dir, "percent.bmp"), 50) == 1, "percent");
        Check(ImgResize.imgresize_thumbnail(source, Path.Combine(dir, "thumb.tga"), 8) == 1, "thumbnail");
        Check(ImgResize.LastError() == "", "no error after success");
        Check(ImgResize.imgresize_batch(dir, Path.Combine(dir, "batch"), 10, 10) == 4, "batch writes 4 files");

        string missing = Path.Combine(dir, "missing.png");
        Check(ImgResize.imgresize_exact(missing, Path.Combine(dir, "x.png"), 5, 5) == 0, "exact of a missing file fails");
        Check(ImgResize.LastError() == "Failed to load image '" + missing + "': can't fopen", "message of the failure");
        Check(ImgResize.Info(missing) == "", "info of a missing file is empty");
        Check(ImgResize.imgresize_batch(dir, dir, 0, 10) == -1, "batch with bad bounds");
        Check(ImgResize.LastError() == "Invalid batch bounds: 0x10 (must be > 0)", "message of the batch");
        ImgResize.imgresize_cleanup();
        Check(ImgResize.LastError() == "", "cleanup empties the last error");

        Console.WriteLine(failures == 0 ? "csharp: all calls behaved" : "csharp: " + failures + " failures");
        return failures == 0 ? 0 : 1;
    }
}
