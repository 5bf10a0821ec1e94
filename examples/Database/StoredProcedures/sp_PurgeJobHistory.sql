-- Deletes job history older than the given number of days, in batches.
CREATE OR ALTER PROCEDURE dbo.sp_PurgeJobHistory @days int = 90
AS
BEGIN
    SET NOCOUNT ON;
    WHILE 1 = 1
    BEGIN
        DELETE TOP (5000) FROM dbo.APP_JobHistory WHERE startedAt < DATEADD(day, -@days, GETDATE());
        IF @@ROWCOUNT = 0 BREAK;
    END
END
GO
